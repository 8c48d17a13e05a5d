// Tests of zep3dtool run's account of a launch: what failed on the Linux storage node or in the cluster
// job, and the exit code it gives, over the companions' doubles.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Commands.h"
#include "CompanionFakes.h"
#include "RunFolder.h"
#include "TestUtil.h"
#include "ZEPHpcTool.h"
#include "tools/CommandHandler.h"

namespace zep {
namespace apps {
namespace {

using zep::testing::MachineBlock;
using zep::testing::TaskBlock;

const std::string kNodeRun =
    TaskBlock(11, 2) +
    MachineBlock({"node1 2 /opt/T/"}, {"1"},
                 "ValueShareFolderName=Work\nValueLocalHost=PC01\nValueSharedTarvik3DName=/opt/T/\n");
const std::string kClusterRun = TaskBlock(12, 2);

class RunOutcome : public ::testing::Test {
  protected:
    void SetUp() override { zep::fakes::Reset(); }

    // Sets up and launches the run of `cmx` as zep3dtool run does, and says what failed.
    std::string Failure(const std::string& cmx) {
        run_.WriteCmx(cmx);
        CommandHandler handler(0);
        handler.SetCommandArguments(0, "\"C:\\App\\*D:\\Work\\P*\"", "C:\\App\\", run_.projectDir().c_str(),
                                    "Part", "solver.exe", "01");
        handler.ReadCMX4TaskManager();
        handler.WriteParallelFile();
        long jobId = -1;
        zep::testing::StdoutCapture out;
        handler.SpawnMPIProcess(jobId);
        handler.WaitHPCJob();
        return LaunchFailure(handler, jobId);
    }

    zep::testing::RunFolder run_;
    zep::testing::SleepRecorder sleeps_;
};

TEST_F(RunOutcome, NamesWhatFailedOnTheStorageNodeOrInTheClusterJob) {
    struct Case {
        const char* name;
        const std::string& cmx;
        std::function<void()> script;
        std::string failure;
    } cases[] = {
        {"node run", kNodeRun, [] {}, ""},
        {"refused SSH", kNodeRun,
         [] { zep::fakes::ScriptResults("CZEPSSH2Tool::SSH2_RemoteCommandOutputToFile", {-3}); },
         "the run on the storage node node1 failed over SSH (code -3)"},
        {"failing launcher", kNodeRun, [] { zep::fakes::ScriptLauncherExitCode(2); },
         "the run on the storage node node1 failed: its launcher ended with exit code 2"},
        {"finished job", kClusterRun, [] {}, ""},
        {"failed job", kClusterRun, [] { zep::fakes::ScriptJobEnd(ZEP_JOB_FAILED, "FAILED"); },
         "the cluster job 1 ended FAILED"},
        {"timed-out job", kClusterRun, [] { zep::fakes::ScriptJobEnd(ZEP_JOB_FAILED, "TIMEOUT"); },
         "the cluster job 1 ended TIMEOUT"},
        {"node failure", kClusterRun, [] { zep::fakes::ScriptJobEnd(ZEP_JOB_FAILED, "NODE_FAIL"); },
         "the cluster job 1 ended NODE_FAIL"},
        {"cancelled job", kClusterRun, [] { zep::fakes::ScriptJobEnd(ZEP_JOB_CANCELED, "CANCELLED by 0"); },
         "the cluster job 1 ended CANCELLED"},
        {"lost wait", kClusterRun,
         [] { zep::fakes::ScriptResults("CZEPHpcTool::HPC_WaitJobToFinish", {-4}); },
         "the cluster job 1 could not be followed to its end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        zep::fakes::Reset();
        c.script();
        EXPECT_EQ(Failure(c.cmx), c.failure);
    }
}

TEST_F(RunOutcome, AFailedClusterJobExitsWith3) {
    zep::testing::ScopedTempDir install;
    const std::vector<std::string> args = {"--install", install.path(), "--project", run_.projectDir(),
                                           "--base",    "Part",         "--run-id",  "01",
                                           "--solver",  "solver.exe"};
    run_.WriteCmx(kClusterRun);
    zep::testing::StdoutCapture out;
    EXPECT_EQ(RunCommand(args), 0);
    zep::fakes::ScriptJobEnd(ZEP_JOB_FAILED, "FAILED");
    EXPECT_EQ(RunCommand(args), 3);
    // Both runs say their status and the job; only the exit code tells them apart.
    const std::string run =
        "Get password information from acc.ini failed.\nJob 1 started\nJob 1 ended\n"
        "Status: 1 (parallel run on one machine)\nCluster job: 1\n";
    EXPECT_EQ(out.Stop(), run + run);
}

}  // namespace
}  // namespace apps
}  // namespace zep
