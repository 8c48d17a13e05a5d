// A run set up from a task-manager file in a temporary project, for the launch tests: the handler is
// built as CZEPTools::SetCommand builds it and stays for inspection.
#ifndef ZEP3D_TESTING_LAUNCHFIXTURE_H_
#define ZEP3D_TESTING_LAUNCHFIXTURE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

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
    // the launch to `debugLevel`.
    int SetUpRun(const std::string& cmx, int debugLevel = 0, const std::string& commandLine = kCommandLine) {
        run_.WriteCmx(cmx);
        handler_.reset(new CommandHandler(0));
        handler_->SetCommandArguments(0, commandLine.c_str(), install_.c_str(), run_.projectDir().c_str(),
                                      "Part", "solver.exe", "01");
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

    // Writes the installation's account file for the user and password.
    void WriteAccount(const std::string& user, const std::string& password) {
        WriteFile(install_ + "Bin/acc.ini",
                  zep::toolkit::AccountFileText(user, zep::toolkit::EncipherAccountPassword(password)));
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
