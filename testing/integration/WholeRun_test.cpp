// Whole runs through CZEPTools with the real companion libraries, on 127.0.0.1 only.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ServerHarness.h"
#include "TestUtil.h"
#include "WholeRuns.h"
#include "ZEPHpcTool.h"
#include "toolkit/AccountPassword.h"
#include "tools/CommandHandler.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using namespace zep::testing;

void WriteScript(const std::string& path, const std::string& text) {
    WriteFile(path, text);
    chmod(path.c_str(), 0755);
}

void WriteAccount(const std::string& installDir, const std::string& user, const std::string& password) {
    fs::create_directories(installDir + "Bin");
    WriteFile(installDir + "Bin/acc.ini",
              zep::toolkit::AccountFileText(user, zep::toolkit::EncipherAccountPassword(password)));
}

// The loopback sshd and its test user, the node's installation and the shared working folder, so that
// the local run folder and the node's run folder are one folder.
class WholeRunOverSsh : public ServerSuite<false, true, true> {
  protected:
    void SetUp() override {
        ServerSuite::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        std::error_code error;
        fs::remove(server().home + "/.mpd.conf", error);
        for (const auto& entry : fs::directory_iterator(calls_, error)) fs::remove(entry.path(), error);
    }

    // Executes one run in its own run folder, which belongs to the test user, who writes the machine file
    // there; returns what was printed.
    std::string Run(const StorageNodeRun& run, const std::string& projectName = "My Proj",
                    const std::string& moreWords = "", const std::string& home = std::string()) {
        project_ = shared_ + "/" + projectName;
        runPath_ = project_ + "/Analysis/Run" + run.runId;
        fs::create_directories(runPath_);
        std::string output;
        RunShell("chown -R " + server().user + ": " + Quote(project_), &output);
        const std::string install = servers_->folder.File("Install") + "/";
        WriteAccount(install, server().user, run.refused ? "not-the-password" : server().password);
        WriteFile(runPath_ + "/Part" + run.runId + ".cmx",
                  StorageNodeCmx(run, nodeHome_, home.empty() ? nodeHome_ : home));
        return ExecuteStorageNodeRun(kCommandLine + moreWords, install, project_, run.runId);
    }

    NodeTraces Traces(const std::string& home) const {
        return {runPath_,
                calls_,
                server().home + "/.mpd.conf",
                [](const std::string& path) { return path; },
                {"-wdir", runPath_, "-machinefile", runPath_ + "/machines.txt", "-n", "2", home + "/solver",
                 home + "*" + project_ + "*"}};
    }

    const std::string shared_ = servers_->shared;
    const std::string nodeHome_ = servers_->folder.File("node") + "/";
    const std::string calls_ = servers_->folder.File("calls");
    std::string project_;
    std::string runPath_;
};

class StorageNode : public WholeRunOverSsh, public ::testing::WithParamInterface<StorageNodeRun> {};

TEST_P(StorageNode, RunsPrintTheirTracesAndLeaveTheirFilesOnTheNode) {
    const std::string printed = Run(GetParam());
    ExpectStorageNodeRun(GetParam(), printed, Traces(nodeHome_));
}

INSTANTIATE_TEST_SUITE_P(WholeRunOverSsh, StorageNode, ::testing::ValuesIn(StorageNodeRuns()), RunName);

// Project folder, node installation and solver arguments carry shell code that would leave a marker
// file if it ran; the launcher receives the names and words unchanged.
TEST_F(WholeRunOverSsh, ShellCodeInTheProjectReachesTheNodeOnlyAsText) {
    const std::string marker = "zep_marker_";
    const std::string projectName =
        "R&D Tom's `touch " + marker + "1` $(touch " + marker + "2);touch " + marker + "3;#";
    const std::string home = servers_->folder.File("node $(touch " + marker + "4)`touch " + marker +
                                                   "5`;touch " + marker + "6;#") +
                             "/";
    fs::create_directories(home);
    fs::create_directory_symlink(nodeHome_ + "IntelMPI", home + "IntelMPI");
    const std::string words = " \"a b\" $(touch " + marker + "7) `touch " + marker + "8` ;touch " + marker +
                              "9 R&D Tom's \\\"q\\\"";
    const StorageNodeRun run{"ShellCode", "04", false, 10000, 11000, {"localhost"}, false};

    const std::string printed = Run(run, projectName, words, home);

    NodeTraces traces = Traces(home);
    // The words as a Windows program would split the command line.
    traces.launcherArguments.insert(traces.launcherArguments.end(),
                                    {"a b", "$(touch", marker + "7)", "`touch", marker + "8`", ";touch",
                                     marker + "9", "R&D", "Tom's", "\"q\""});
    ExpectStorageNodeRun(run, printed, traces);
    for (const std::string& folder :
         {server().home, calls_, runPath_, project_, shared_, home, std::string("/tmp")})
        EXPECT_TRUE(FilesStartingWith(folder, marker).empty()) << folder;
}

using WholeRunOnSlurm = ServerSuite<true, false>;

void Install(const std::string& install, const std::string& solverText) {
    WriteAccount(install, "runner", "secret");
    WriteScript(install + "Bin/solver.sh", solverText);
}

TEST_F(WholeRunOnSlurm, JobIsSubmittedWaitedForAndItsOutputLandsInTheRunFolder) {
    // As many tasks as the cluster's node has CPUs, two at most, so that the job never waits for them.
    std::string cpus;
    ASSERT_EQ(RunShell("sinfo -h -N -o %c", &cpus), 0) << cpus;
    ScopedTempDir temp;  // blanks in the installation and project folders
    const std::string install = temp.path() + "/My Install/";
    const std::string project = temp.path() + "/My Proj";
    fs::create_directories(project + "/Analysis/Run01");
    Install(install, ReadFile(DataPath("integration/solver.sh")));
    const std::string where = std::string(" as ") + getpwuid(geteuid())->pw_name +
                              " args [C:\\App\\*D:\\Work\\P*] in " + project + "/Analysis/Run01";
    EXPECT_GT(ExpectClusterJob(install, project, project + "/Analysis/Run01", std::stoi(cpus) >= 2 ? 2 : 1,
                               servers_->node, where),
              0);
}

TEST_F(WholeRunOnSlurm, AJobWhoseSolverFailsIsKeptAsFailed) {
    // The run's own handler, so that how the job ended can be read from it, as zep3dtool run does.
    ScopedTempDir temp;
    const std::string install = temp.path() + "/install/";
    const std::string project = temp.path() + "/proj";
    fs::create_directories(project + "/Analysis/Run01");
    Install(install, "#!/bin/sh\nexit 3\n");
    WriteFile(project + "/Analysis/Run01/Part01.cmx", TaskBlock(12, 1));

    CommandHandler handler(0);
    handler.SetCommandArguments(0, kCommandLine, install.c_str(), project.c_str(), "Part", "solver.sh", "01");
    ASSERT_EQ(handler.ReadCMX4TaskManager(), 0);
    long jobId = -1;
    StdoutCapture capture;
    handler.SpawnMPIProcess(jobId);
    handler.WaitHPCJob();
    const std::string printed = capture.Stop();
    ASSERT_GT(jobId, 0) << printed;
    EXPECT_EQ(handler.m_iHPCJobState, ZEP_JOB_FAILED) << printed;
    EXPECT_EQ(handler.m_sHPCJobState, "FAILED") << printed;
}

TEST(WholeRunOnThisMachine, LauncherGetsTheArgumentsInTheRunFolderAndStaysTheCallersChild) {
    ScopedTempDir temp;
    const std::string install = temp.path() + "/My Install/";
    const std::string project = temp.path() + "/My Proj";
    const std::string record = install + "Bin/IntelMPI/impiexec.exe";
    fs::create_directories(project + "/Analysis/Run01");
    fs::create_directories(install + "Bin/IntelMPI");
    WriteScript(record, ReadFile(DataPath("integration/launcher.sh")));

    const std::vector<std::string> arguments = StartLocalRun(install, project);

    ASSERT_TRUE(WaitUntil([&] { return FileExists(record + ".pid"); }, 10000))
        << "the launcher did not start";
    const pid_t pid = static_cast<pid_t>(std::stol(ReadFile(record + ".pid")));
    int waitStatus = 0;
    ASSERT_EQ(waitpid(pid, &waitStatus, 0), pid) << "the launcher is the caller's child";
    ASSERT_TRUE(WIFEXITED(waitStatus));
    EXPECT_EQ(WEXITSTATUS(waitStatus), 3);
    EXPECT_EQ(Lines(ReadFile(record + ".args")), arguments);
    const std::string runPath = project + "/Analysis/Run01";
    EXPECT_EQ(ReadFile(record + ".cwd"), fs::canonical(runPath).string() + "\n");
    const std::vector<std::string> consoles = FilesStartingWith(runPath, "console_redirect_");
    ASSERT_EQ(consoles.size(), 1u);
    EXPECT_EQ(ReadFile(runPath + "/" + consoles[0]), "launcher: 9 arguments\n");
}

}  // namespace
