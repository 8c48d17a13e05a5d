// The cluster job companion against a real one-node Slurm cluster on 127.0.0.1.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include "ServerHarness.h"
#include "SlurmJobs.h"
#include "TestUtil.h"

namespace {

using ::testing::HasSubstr;
using namespace zep::testing;

// A solver that writes one line per task: its rank, its arguments and its working folder.
std::string WriteSolver(const ScopedTempDir& dir, int exitCode) {
    std::string path = dir.File("solver.sh");
    WriteFile(path,
              "#!/bin/sh\necho \"task $SLURM_PROCID of $SLURM_NTASKS args [$*] in $(pwd)\"\n"
              "echo \"err $SLURM_PROCID\" >&2\nexit " +
                  std::to_string(exitCode) + "\n");
    chmod(path.c_str(), 0755);
    return path;
}

class SlurmCompanion : public ServerSuite<true, false> {};

TEST_F(SlurmCompanion, AJobIsSubmittedWaitedForAndSummarised) {
    ScopedTempDir run;  // the job's folder named with a backslash, as the library names it
    mkdir(run.File("out").c_str(), 0755);
    long jobId = -1;
    ASSERT_EQ(SubmitJob(jobId, WriteSolver(run, 0), run.path() + "\\out", "127.0.0.1", 2), 0);
    ASSERT_GT(jobId, 0);
    ExpectJobCompletes(jobId, run.path() + "\\out", servers_->node, 2, run.File("out"),
                       " args [-project my run.cmx -np 2] in " + run.File("out"));
}

TEST_F(SlurmCompanion, FailedJobsAndRefusedSubmissionsAreReported) {
    ScopedTempDir run;
    long jobId = -1;
    ASSERT_EQ(SubmitJob(jobId, WriteSolver(run, 7), run.path(), "localhost", 1), 0);
    CZEPHpcTool tool;
    ZEPJobState state = ZEP_JOB_UNKNOWN;
    ASSERT_EQ(tool.HPC_WaitJobToFinish(jobId, state, "", "", "localhost"), 0) << "the wait itself succeeded";
    EXPECT_EQ(state, ZEP_JOB_FAILED);
    CZEPHPCJobInfoMessage info;
    ASSERT_EQ(tool.HPC_GetJobInfo(jobId, info, "localhost"), 0);
    EXPECT_THAT(std::string(info.PrintJobBasicEndInfo()),
                ::testing::AllOf(HasSubstr("state FAILED, "), HasSubstr("exit code 7:0")));

    // A node the cluster does not have: sbatch refuses, the job id is left alone.
    long refused = -1;
    EXPECT_EQ(SubmitJob(refused, WriteSolver(run, 0), run.path(), "nosuchnode", 1), -3);
    EXPECT_EQ(refused, -1);

    // A job the cluster never had, neither running nor in its completion file.
    EXPECT_EQ(tool.HPC_GetJobInfo(987654, info, "localhost"), -6);
    EXPECT_EQ(tool.HPC_WaitJobToFinish(987654, state, "", "", "localhost"), -6);
}

TEST(SlurmCompanionWithoutSlurm, FailsAtOnceWithAClearCode) {
    ScopedTempDir empty;  // the only folder in the search path
    const std::string saved = getenv("PATH") != nullptr ? getenv("PATH") : "";
    setenv("PATH", empty.path().c_str(), 1);
    CZEPHpcTool tool;
    auto start = std::chrono::steady_clock::now();
    long jobId = -1;
    int submit_rc = SubmitJob(jobId, empty.File("solver.sh"), empty.path(), "127.0.0.1", 1);
    CZEPHPCJobInfoMessage info;
    int info_rc = tool.HPC_GetJobInfo(1, info, "localhost");
    ZEPJobState state = ZEP_JOB_UNKNOWN;
    int wait_rc = tool.HPC_WaitJobToFinish(1, state, "", "", "localhost");
    setenv("PATH", saved.c_str(), 1);
    EXPECT_THAT((std::vector<long>{submit_rc, jobId, info_rc, wait_rc}), ::testing::Each(-1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
