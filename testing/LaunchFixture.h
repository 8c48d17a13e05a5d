// A run set up from a task-manager file in a temporary project, for the launch tests: the handler is
// built as CZEPTools::SetCommand builds it and stays for inspection.
#ifndef ZEP3D_TESTING_LAUNCHFIXTURE_H_
#define ZEP3D_TESTING_LAUNCHFIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "CompanionFakes.h"
#include "RunFolder.h"
#include "TestUtil.h"
#include "toolkit/AccountPassword.h"
#include "tools/CommandHandler.h"

namespace zep {
namespace testing {

class LaunchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        zep::fakes::Reset();
        install_ = run_.temp().path() + "/Install/";
        std::filesystem::create_directories(install_ + "Bin");
    }
    void TearDown() override { zep::fakes::Reset(); }

    // Sets up the run as SetCommand does (reading and writing quietly) and leaves the trace level of
    // the launch to `debugLevel`; `project` names another project folder in the temporary folder.
    int SetUpRun(const std::string& cmx, int debugLevel = 0, const std::string& commandLine = kCommandLine,
                 const std::string& exe = "solver.exe", const std::string& project = "") {
        const std::string projectDir =
            project.empty() ? run_.projectDir() : run_.temp().path() + "/" + project;
        std::filesystem::create_directories(projectDir + "/Analysis/Run01");
        WriteFile(projectDir + "/Analysis/Run01/Part01.cmx", cmx);
        handler_.reset(new CommandHandler(0));
        handler_->SetCommandArguments(0, commandLine.c_str(), install_.c_str(), projectDir.c_str(), "Part",
                                      exe.c_str(), "01");
        handler_->ReadCMX4TaskManager();
        handler_->WriteParallelFile();
        handler_->m_iDebug = debugLevel;
        zep::fakes::Reset();
        return handler_->m_iStatus;
    }

    // ExecuteCommand's two steps; returns jobId.
    long Execute() {
        long jobId = 12345;
        handler_->SetProcessCleaner();
        handler_->SpawnMPIProcess(jobId);
        return jobId;
    }

    // What `run` prints on the standard output.
    template <typename Run>
    static std::string Printed(Run run) {
        StdoutCapture out;
        run();
        return out.Stop();
    }
    std::string ExecutePrinted() {
        return Printed([this] { Execute(); });
    }

    void WriteAccount(const std::string& user, const std::string& password) {
        WriteFile(install_ + "Bin/acc.ini",
                  zep::toolkit::AccountFileText(user, zep::toolkit::EncipherAccountPassword(password)));
    }

    // The companion calls whose name begins with `prefix`, one a line: the name, then each argument
    // after " | ".
    static std::string CallLog(const std::string& prefix) {
        std::string log;
        for (const auto& call : zep::fakes::Calls()) {
            if (call.name.compare(0, prefix.size(), prefix) != 0) continue;
            log += call.name;
            for (const std::string& arg : call.args) log += " | " + arg;
            log += "\n";
        }
        return log;
    }

    // The arguments of the one call of the operation `name`; `count` empty ones (and a failure) when
    // there is not exactly one.
    static std::vector<std::string> OnlyCall(const std::string& name, size_t count = 0) {
        const auto calls = zep::fakes::CallsOf(name);
        EXPECT_EQ(calls.size(), 1u) << name;
        return calls.size() == 1 ? calls[0].args : std::vector<std::string>(count);
    }
    // The golden file launch/<name> of the test data, with "{install}", "{run}", "{linrun}" and
    // "{linproject}" standing for the installation folder, the run folder, and the run and project
    // folders on the Linux node.
    std::string Golden(const std::string& name) const {
        std::string text = ReadFile(DataPath("launch/" + name));
        const std::pair<std::string, std::string> values[] = {{"{install}", install_},
                                                              {"{run}", run_.runPath()},
                                                              {"{linrun}", handler_->m_sLinRunPath},
                                                              {"{linproject}", run_.linuxProjectDir()}};
        for (const auto& value : values) {
            for (size_t at = text.find(value.first); at != std::string::npos; at = text.find(value.first, at))
                text.replace(at, value.first.size(), value.second);
        }
        return text;
    }

    static constexpr const char* kCommandLine = "\"C:\\App\\*D:\\Work\\P*\"";

    SleepRecorder sleeps_;
    RunFolder run_;
    std::string install_;
    std::unique_ptr<CommandHandler> handler_;
};

}  // namespace testing
}  // namespace zep

#endif  // ZEP3D_TESTING_LAUNCHFIXTURE_H_
