// The cluster job companion against a real one-node Slurm cluster on 127.0.0.1: a job submitted in the
// library's own forms, waited for, its output files and its summaries; failures of the job and of the
// submission; and a machine without Slurm.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <string>

#include "ServerHarness.h"
#include "TestUtil.h"
#include "ZEPHpcTool.h"

namespace {

using ::testing::HasSubstr;
using zep::testing::ReadFile;
using zep::testing::ScopedTempDir;

// A solver that writes one line per task: its rank, its arguments and its working folder.
std::string WriteSolver(const ScopedTempDir& dir, int exitCode) {
    std::string path = dir.File("solver.sh");
    zep::testing::WriteFile(path,
                            "#!/bin/sh\necho \"task $SLURM_PROCID of $SLURM_NTASKS args [$*] in $(pwd)\"\n"
                            "echo \"err $SLURM_PROCID\" >&2\nexit " +
                                std::to_string(exitCode) + "\n");
    chmod(path.c_str(), 0755);
    return path;
}

struct Job {
    int rc = 0;
    long id = -1;
};

// Submits a job as the library does for a one-node run: node "127.0.0.1", paths built with backslashes.
Job Submit(const ScopedTempDir& run, const std::string& solver, const char* node, int tasks) {
    CZEPHpcTool tool;
    char name[32] = {0};
    std::snprintf(name, sizeof(name), "%s", node);
    char* names[] = {name};
    int counts[] = {tasks};
    std::string folder = run.path() + "\\out";
    mkdir(run.File("out").c_str(), 0755);
    Job job;
    job.rc = tool.HPC_CreateJob(
        job.id, "user", "password", "Tarvik3D HPC Job - solver.sh", ZEP_COMPUTING_SINGLE_NODE, 1, names,
        counts, solver.c_str(), "-project \"my run.cmx\" -np 2", folder.c_str(),
        (folder + "\\zephpc_stdout.txt").c_str(), (folder + "\\zephpc_stderr.txt").c_str(), "localhost");
    return job;
}

class SlurmCompanion : public zep::testing::ServerSuite<true, false> {};

TEST_F(SlurmCompanion, AJobIsSubmittedWaitedForAndSummarised) {
    ScopedTempDir run;
    Job job = Submit(run, WriteSolver(run, 0), "127.0.0.1", 2);
    ASSERT_EQ(job.rc, 0);
    ASSERT_GT(job.id, 0);

    CZEPHpcTool tool;
    CZEPHPCJobInfoMessage info;
    ASSERT_EQ(tool.HPC_GetJobInfo(job.id, info, "localhost"), 0);
    std::string start = info.PrintJobBasicStartInfo();
    EXPECT_THAT(start,
                HasSubstr("Job " + std::to_string(job.id) + " \"Tarvik3D HPC Job - solver.sh\": state "));

    ZEPJobState state = ZEP_JOB_UNKNOWN;
    std::string outFolder = run.path() + "\\out";
    ASSERT_EQ(tool.HPC_WaitJobToFinish(job.id, state, outFolder.c_str(), "127.0.0.1", "localhost"), 0);
    EXPECT_EQ(state, ZEP_JOB_FINISHED);
    ASSERT_EQ(tool.HPC_GetJobInfo(job.id, info, "localhost"), 0);
    std::string end = info.PrintJobBasicEndInfo();
    EXPECT_THAT(end, HasSubstr("Job " + std::to_string(job.id) +
                               " \"Tarvik3D HPC Job - solver.sh\": state COMPLETED, "
                               "nodes " +
                               servers_->cluster.node() + ", started "));
    EXPECT_THAT(end, HasSubstr(", exit code 0:0"));
    EXPECT_THAT(end, ::testing::Not(HasSubstr("Unknown")));

    // Both tasks ran on the node, with the solver's arguments, in the job's folder.
    std::string out = ReadFile(run.File("out/zephpc_stdout.txt"));
    std::string where = " args [-project my run.cmx -np 2] in " + run.File("out") + "\n";
    EXPECT_THAT(out, HasSubstr("task 0 of 2" + where));
    EXPECT_THAT(out, HasSubstr("task 1 of 2" + where));
    std::string err = ReadFile(run.File("out/zephpc_stderr.txt"));
    EXPECT_THAT(err, HasSubstr("err 0\n"));
    EXPECT_THAT(err, HasSubstr("err 1\n"));
}

TEST_F(SlurmCompanion, FailedJobsAndRefusedSubmissionsAreReported) {
    ScopedTempDir run;
    Job job = Submit(run, WriteSolver(run, 7), "localhost", 1);
    ASSERT_EQ(job.rc, 0);
    CZEPHpcTool tool;
    ZEPJobState state = ZEP_JOB_UNKNOWN;
    ASSERT_EQ(tool.HPC_WaitJobToFinish(job.id, state, "", "", "localhost"), 0) << "the wait itself succeeded";
    EXPECT_EQ(state, ZEP_JOB_FAILED);
    CZEPHPCJobInfoMessage info;
    ASSERT_EQ(tool.HPC_GetJobInfo(job.id, info, "localhost"), 0);
    EXPECT_THAT(std::string(info.PrintJobBasicEndInfo()), HasSubstr("state FAILED, "));
    EXPECT_THAT(std::string(info.PrintJobBasicEndInfo()), HasSubstr("exit code 7:0"));

    // A node the cluster does not have: sbatch refuses, the job id is left alone.
    Job refused = Submit(run, WriteSolver(run, 0), "nosuchnode", 1);
    EXPECT_EQ(refused.rc, -3);
    EXPECT_EQ(refused.id, -1);

    // A job the cluster never had, neither running nor in its completion file.
    EXPECT_EQ(tool.HPC_GetJobInfo(987654, info, "localhost"), -6);
    EXPECT_EQ(tool.HPC_WaitJobToFinish(987654, state, "", "", "localhost"), -6);
}

TEST(SlurmCompanionWithoutSlurm, FailsAtOnceWithAClearCode) {
    // No Slurm command can be found.
    ScopedTempDir empty;
    const char* path = getenv("PATH");
    std::string saved = path != nullptr ? path : "";
    setenv("PATH", empty.path().c_str(), 1);
    CZEPHpcTool tool;
    ScopedTempDir run;
    auto start = std::chrono::steady_clock::now();
    Job job = Submit(run, run.File("solver.sh"), "127.0.0.1", 1);
    CZEPHPCJobInfoMessage info;
    int info_rc = tool.HPC_GetJobInfo(1, info, "localhost");
    ZEPJobState state = ZEP_JOB_UNKNOWN;
    int wait_rc = tool.HPC_WaitJobToFinish(1, state, "", "", "localhost");
    setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(job.rc, -1);
    EXPECT_EQ(job.id, -1);
    EXPECT_EQ(info_rc, -1);
    EXPECT_EQ(wait_rc, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
