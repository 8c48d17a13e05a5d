// Tests of the cluster-job route: node tables, output folders, the account, failing submissions and
// waits, and the summaries printed by WaitHPCJob.
#include <gtest/gtest.h>

#include "CompanionFakes.h"
#include "LaunchFixture.h"

namespace {

using zep::fakes::CallsOf;
using zep::testing::MachineBlock;
using zep::testing::StdoutCapture;
using zep::testing::TaskBlock;

const char kKeys[] =
    "ValueShareFolderName=Work\nValueLocalHost=HEAD\nValueSharedTarvik3DName=App\n"
    "ValueParallelWorkingFolder=";

class HpcJob : public zep::testing::LaunchTest {
  protected:
    // The arguments of the one HPC_CreateJob call: user, password, name, mode, node count, names,
    // counts, solver, arguments, folder, stdout file, stderr file, scheduler.
    std::vector<std::string> JobArguments() {
        const auto calls = CallsOf("CZEPHpcTool::HPC_CreateJob");
        EXPECT_EQ(calls.size(), 1u);
        return calls.empty() ? std::vector<std::string>() : calls[0].args;
    }
    std::string Folder(const std::string& workingFolder) { return kKeys + workingFolder + "\n"; }
};

TEST_F(HpcJob, SingleNodeJobRunsEveryTaskOnTheLocalNode) {
    WriteAccount("runner", "secret");
    ASSERT_EQ(SetUpRun(TaskBlock(12, 8)), 1);
    zep::fakes::ScriptJobId(42);
    StdoutCapture out;
    EXPECT_EQ(Execute(), 42);
    EXPECT_EQ(out.Stop(), "");
    EXPECT_EQ(JobArguments(),
              (std::vector<std::string>{"runner", "secret", "Tarvik3D HPC Job - solver.exe", "0", "1",
                                        "127.0.0.1", "8", install_ + "\\Bin\\solver.exe", kCommandLine,
                                        run_.runPath(), run_.runPath() + "\\zephpc_stdout.txt",
                                        run_.runPath() + "\\zephpc_stderr.txt", "localhost"}));
    EXPECT_EQ(handler_->m_sHPCNodeName, "127.0.0.1");
    EXPECT_EQ(handler_->m_lJobID, 42);
}

TEST_F(HpcJob, ConsecutiveTasksOfOneHostFormANode) {
    SetUpRun(TaskBlock(13, 5) + MachineBlock({"A 2 C:\\App\\", "B 3 C:\\App\\"}, {"1", "1"}, Folder("")));
    Execute();
    auto args = JobArguments();
    ASSERT_EQ(args.size(), 13u);
    EXPECT_EQ(args[3], "1");
    EXPECT_EQ(args[4], "2");
    EXPECT_EQ(args[5], "A,B");
    EXPECT_EQ(args[6], "2,3");
    EXPECT_EQ(args[7], "\\\\HEAD\\App\\Bin\\solver.exe");
    EXPECT_EQ(handler_->m_sHPCNodeName, "A");

    zep::fakes::Reset();
    SetUpRun(TaskBlock(13, 3) +
             MachineBlock({"A 1 C:\\", "B 1 C:\\", "A 1 C:\\"}, {"1", "1", "1"}, Folder("")));
    Execute();
    args = JobArguments();
    EXPECT_EQ(args[4], "3");
    EXPECT_EQ(args[5], "A,B,A");
    EXPECT_EQ(args[6], "1,1,1");

    // Unclaimed entries stay empty; a table that the hosts outgrow is widened, and long names pass whole.
    const std::string longName(40, 'n');
    zep::fakes::Reset();
    SetUpRun(TaskBlock(13, 4) + MachineBlock({"A 2 C:\\", longName + " 1 C:\\"}, {"1", "1"}, Folder("")));
    handler_->m_ppTaskHostName = {"A", "B", "A", longName};
    Execute();
    args = JobArguments();
    EXPECT_EQ(args[4], "4");
    EXPECT_EQ(args[5], "A,B,A," + longName);
    EXPECT_EQ(args[6], "1,1,1,1");
}

TEST_F(HpcJob, OutputFolderMovesToTheShareOrToTheSystemTemporaryFolder) {
    const std::string runPath = run_.runPath();
    const std::string tail = runPath.substr(run_.temp().path().size());
    SetUpRun(TaskBlock(13, 1) + MachineBlock({"A 1 C:\\"}, {"1"}, Folder(run_.temp().path())));
    Execute();
    EXPECT_EQ(handler_->m_sHPCOutputFolder, "\\\\HEAD\\Work" + tail);
    EXPECT_EQ(JobArguments()[10], "\\\\HEAD\\Work" + tail + "\\zephpc_stdout.txt");

    zep::fakes::Reset();
    SetUpRun(TaskBlock(13, 1) + MachineBlock({"A 1 C:\\"}, {"1"}, Folder("Q:\\Elsewhere")));
    Execute();
    EXPECT_EQ(handler_->m_sHPCOutputFolder, "C:\\Windows\\Temp");
    EXPECT_EQ(JobArguments()[11], "C:\\Windows\\Temp\\zephpc_stderr.txt");

    zep::fakes::Reset();
    SetUpRun(TaskBlock(13, 1) + MachineBlock({"A 1 C:\\"}, {"1"}, Folder("")));
    Execute();
    EXPECT_EQ(handler_->m_sHPCOutputFolder, "\\\\HEAD\\Work" + runPath);
}

TEST_F(HpcJob, MissingAccountIsReportedAndTheJobStillRequested) {
    SetUpRun(TaskBlock(12, 2));
    StdoutCapture out;
    Execute();
    EXPECT_EQ(out.Stop(), "Get password information from acc.ini failed.\n");
    const auto args = JobArguments();
    ASSERT_EQ(args.size(), 13u);
    EXPECT_EQ(args[0], "");
    EXPECT_EQ(args[1], "");
}

TEST_F(HpcJob, FailingSubmissionLeavesNoJobToWaitFor) {
    WriteAccount("u", "p");
    SetUpRun(TaskBlock(12, 2));
    zep::fakes::ScriptResults("CZEPHpcTool::HPC_CreateJob", {-17});
    StdoutCapture out;
    EXPECT_EQ(Execute(), -1);
    EXPECT_EQ(out.Stop(), "CZEPHpcTool::HPC_CreateJob() failed. (-17)\n");
    EXPECT_EQ(handler_->m_lJobID, -1);
    StdoutCapture wait;
    handler_->WaitHPCJob();
    EXPECT_EQ(wait.Stop(), "");
    EXPECT_TRUE(CallsOf("CZEPHpcTool::HPC_GetJobInfo").empty());
}

TEST_F(HpcJob, WaitPrintsTheSummariesAndStopsAtAFailure) {
    WriteAccount("u", "p");
    SetUpRun(TaskBlock(12, 2));
    zep::fakes::ScriptJobId(9);
    Execute();
    {
        StdoutCapture out;
        handler_->WaitHPCJob();
        EXPECT_EQ(out.Stop(), "Job 9 started\nJob 9 ended\n");
        const auto waits = CallsOf("CZEPHpcTool::HPC_WaitJobToFinish");
        ASSERT_EQ(waits.size(), 1u);
        EXPECT_EQ(waits[0].args, (std::vector<std::string>{"9", run_.runPath(), "127.0.0.1", "localhost"}));
    }
    zep::fakes::Reset();
    zep::fakes::ScriptResults("CZEPHpcTool::HPC_GetJobInfo", {3});
    {
        StdoutCapture out;
        handler_->WaitHPCJob();
        EXPECT_EQ(out.Stop(), "CZEPHpcTool::HPC_GetJobInfo() failed. (3)\n");
        EXPECT_TRUE(CallsOf("CZEPHpcTool::HPC_WaitJobToFinish").empty());
    }
    zep::fakes::Reset();
    zep::fakes::ScriptResults("CZEPHpcTool::HPC_WaitJobToFinish", {-5});
    {
        StdoutCapture out;
        handler_->WaitHPCJob();
        EXPECT_EQ(out.Stop(), "Job 9 started\nCZEPHpcTool::HPC_WaitJobToFinish() failed. (-5)\n");
    }
    zep::fakes::Reset();
    zep::fakes::ScriptResults("CZEPHpcTool::HPC_GetJobInfo", {0, 4});
    {
        StdoutCapture out;
        handler_->WaitHPCJob();
        EXPECT_EQ(out.Stop(), "Job 9 started\nCZEPHpcTool::HPC_GetJobInfo() failed. (4)\nJob 9 ended\n");
    }
}

}  // namespace
