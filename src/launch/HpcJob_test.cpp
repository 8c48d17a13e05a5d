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
    // The node count, names and task counts of the job.
    std::vector<std::string> Nodes() {
        const auto args = JobArguments();
        return args.size() == 13 ? std::vector<std::string>(args.begin() + 4, args.begin() + 7) : args;
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
    const auto args = JobArguments();
    ASSERT_EQ(args.size(), 13u);
    EXPECT_EQ(args[3], "1");
    EXPECT_EQ(Nodes(), (std::vector<std::string>{"2", "A,B", "2,3"}));
    EXPECT_EQ(args[7], "\\\\HEAD\\App\\Bin\\solver.exe");
    EXPECT_EQ(handler_->m_sHPCNodeName, "A");

    SetUpRun(TaskBlock(13, 3) +
             MachineBlock({"A 1 C:\\", "B 1 C:\\", "A 1 C:\\"}, {"1", "1", "1"}, Folder("")));
    Execute();
    EXPECT_EQ(Nodes(), (std::vector<std::string>{"3", "A,B,A", "1,1,1"}));

    // Unclaimed entries stay empty; a table that the hosts outgrow is widened, and long names pass whole.
    const std::string longName(40, 'n');
    SetUpRun(TaskBlock(13, 4) + MachineBlock({"A 2 C:\\", longName + " 1 C:\\"}, {"1", "1"}, Folder("")));
    handler_->m_ppTaskHostName = {"A", "B", "A", longName};
    Execute();
    EXPECT_EQ(Nodes(), (std::vector<std::string>{"4", "A,B,A," + longName, "1,1,1,1"}));
}

TEST_F(HpcJob, OutputFolderMovesToTheShareOrToTheSystemTemporaryFolder) {
    const std::string runPath = run_.runPath();
    const struct {
        std::string workingFolder, output;
    } cases[] = {{run_.temp().path(), "\\\\HEAD\\Work" + runPath.substr(run_.temp().path().size())},
                 {"Q:\\Elsewhere", "C:\\Windows\\Temp"},
                 {"", "\\\\HEAD\\Work" + runPath}};
    for (const auto& c : cases) {
        SetUpRun(TaskBlock(13, 1) + MachineBlock({"A 1 C:\\"}, {"1"}, Folder(c.workingFolder)));
        Execute();
        EXPECT_EQ(handler_->m_sHPCOutputFolder, c.output);
        const auto args = JobArguments();
        ASSERT_EQ(args.size(), 13u);
        EXPECT_EQ(args[10], c.output + "\\zephpc_stdout.txt");
        EXPECT_EQ(args[11], c.output + "\\zephpc_stderr.txt");
    }
}

// Without an account the job is still requested; a failing request leaves no job to wait for.
TEST_F(HpcJob, MissingAccountAndFailingSubmissionAreReported) {
    SetUpRun(TaskBlock(12, 2));
    zep::fakes::ScriptResults("CZEPHpcTool::HPC_CreateJob", {-17});
    StdoutCapture out;
    EXPECT_EQ(Execute(), -1);
    EXPECT_EQ(out.Stop(),
              "Get password information from acc.ini failed.\nCZEPHpcTool::HPC_CreateJob() failed. (-17)\n");
    const auto args = JobArguments();
    ASSERT_EQ(args.size(), 13u);
    EXPECT_EQ(args[0], "");
    EXPECT_EQ(args[1], "");
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
    const struct {
        const char* failing;  // the operation that fails, with its results
        std::vector<int> results;
        size_t waits;
        const char* printed;
    } cases[] = {
        {"", {}, 1, "Job 9 started\nJob 9 ended\n"},
        {"CZEPHpcTool::HPC_GetJobInfo", {3}, 0, "CZEPHpcTool::HPC_GetJobInfo() failed. (3)\n"},
        {"CZEPHpcTool::HPC_WaitJobToFinish",
         {-5},
         1,
         "Job 9 started\nCZEPHpcTool::HPC_WaitJobToFinish() failed. (-5)\n"},
        {"CZEPHpcTool::HPC_GetJobInfo",
         {0, 4},
         1,
         "Job 9 started\nCZEPHpcTool::HPC_GetJobInfo() failed. (4)\nJob 9 ended\n"},
    };
    for (const auto& c : cases) {
        zep::fakes::Reset();
        zep::fakes::ScriptResults(c.failing, c.results);
        StdoutCapture out;
        handler_->WaitHPCJob();
        EXPECT_EQ(out.Stop(), c.printed);
        const auto waits = CallsOf("CZEPHpcTool::HPC_WaitJobToFinish");
        ASSERT_EQ(waits.size(), c.waits) << c.printed;
        for (const auto& wait : waits)
            EXPECT_EQ(wait.args, (std::vector<std::string>{"9", run_.runPath(), "127.0.0.1", "localhost"}));
    }
}

}  // namespace
