// The cluster job companion with a head node named: jobs submitted, waited for and summarised over SSH
// on the loopback sshd, whose sessions see the one-node Slurm cluster, logged in as the test user.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "ServerHarness.h"
#include "TestUtil.h"
#include "ZEPHpcTool.h"

namespace {

using ::testing::HasSubstr;
using zep::testing::ReadFile;
using zep::testing::RunShell;
using zep::testing::ScopedTempDir;

class SlurmOverSsh : public zep::testing::ServerSuite<true, true> {
  protected:
    // The test user writes the job's output, so its folder is the user's.
    static void SetUpTestSuite() {
        ServerSuite::SetUpTestSuite();
        run_ = servers_->folder.File("run");
        if (servers_->ready && RunShell("mkdir -p " + run_ + " && chown " + server().user() + ": " + run_ +
                                            " && chmod 755 " + servers_->folder.path(),
                                        &servers_->why) != 0)
            servers_->ready = false;
    }
    static void TearDownTestSuite() {
        CZEPHpcTool::HPC_SetHeadNode(nullptr);
        ServerSuite::TearDownTestSuite();
    }
    void SetUp() override {
        ServerSuite::SetUp();
        CZEPHpcTool::HPC_SetHeadNode(("127.0.0.1:" + std::to_string(server().port())).c_str());
    }
    static zep::testing::SshServer& server() { return servers_->server; }

    // A one-node job as the library asks for it: node "127.0.0.1", paths built with backslashes.
    int Submit(long& jobId, const std::string& password, const std::string& solverText) {
        const std::string solver = run_ + "/solver.sh";
        zep::testing::WriteFile(solver, solverText);
        chmod(solver.c_str(), 0755);
        CZEPHpcTool tool;
        char name[32] = "127.0.0.1";
        char* names[] = {name};
        int counts[] = {2};
        const std::string folder = run_;
        return tool.HPC_CreateJob(jobId, server().user().c_str(), password.c_str(),
                                  "Tarvik3D HPC Job - solver.sh", ZEP_COMPUTING_SINGLE_NODE, 1, names, counts,
                                  solver.c_str(), "-project \"my run.cmx\"", folder.c_str(),
                                  (folder + "\\zephpc_stdout.txt").c_str(),
                                  (folder + "\\zephpc_stderr.txt").c_str(), "localhost");
    }

    static inline std::string run_;
};

TEST_F(SlurmOverSsh, AJobIsSubmittedWaitedForAndSummarisedOnTheHeadNode) {
    long jobId = -1;
    ASSERT_EQ(
        Submit(jobId, server().password(),
               "#!/bin/sh\necho \"task $SLURM_PROCID of $SLURM_NTASKS as $(id -un) args [$*] in $(pwd)\"\n"
               "echo \"err $SLURM_PROCID\" >&2\nsleep 1\n"),
        0);
    ASSERT_GT(jobId, 0);

    CZEPHpcTool tool;
    CZEPHPCJobInfoMessage info;
    ASSERT_EQ(tool.HPC_GetJobInfo(jobId, info, "localhost"), 0);
    const std::string job = "Job " + std::to_string(jobId) + " \"Tarvik3D HPC Job - solver.sh\": state ";
    EXPECT_THAT(std::string(info.PrintJobBasicStartInfo()), HasSubstr(job));
    ZEPJobState state = ZEP_JOB_UNKNOWN;
    ASSERT_EQ(tool.HPC_WaitJobToFinish(jobId, state, run_.c_str(), "127.0.0.1", "localhost"), 0);
    EXPECT_EQ(state, ZEP_JOB_FINISHED);
    ASSERT_EQ(tool.HPC_GetJobInfo(jobId, info, "localhost"), 0);
    EXPECT_THAT(std::string(info.PrintJobBasicEndInfo()),
                HasSubstr(job + "COMPLETED, nodes " + servers_->cluster.node() + ", started "));
    EXPECT_THAT(std::string(info.PrintJobBasicEndInfo()), HasSubstr(", exit code 0:0"));

    // Both tasks ran as the account's user, with the solver's arguments, in the job's folder.
    const std::string out = ReadFile(run_ + "/zephpc_stdout.txt");
    const std::string where = " as " + server().user() + " args [-project my run.cmx] in " + run_ + "\n";
    EXPECT_THAT(out, HasSubstr("task 0 of 2" + where));
    EXPECT_THAT(out, HasSubstr("task 1 of 2" + where));
    EXPECT_THAT(ReadFile(run_ + "/zephpc_stderr.txt"), HasSubstr("err 1\n"));
}

TEST_F(SlurmOverSsh, RefusedAccountsUnknownJobsAndUnnamedHeadNodesFailWithTheirCodes) {
    long jobId = -1;
    EXPECT_EQ(Submit(jobId, "not-the-password", "#!/bin/sh\ntrue\n"), -3);
    EXPECT_EQ(jobId, -1);

    // A job this process did not create: there is no account to ask the head node with.
    CZEPHpcTool tool;
    CZEPHPCJobInfoMessage info;
    EXPECT_EQ(tool.HPC_GetJobInfo(987654, info, "localhost"), -6);
    ZEPJobState state = ZEP_JOB_UNKNOWN;
    EXPECT_EQ(tool.HPC_WaitJobToFinish(987654, state, "", "", "localhost"), -6);

    // A head node name that is none.
    CZEPHpcTool::HPC_SetHeadNode("127.0.0.1:http");
    EXPECT_EQ(Submit(jobId, server().password(), "#!/bin/sh\ntrue\n"), -1);
}

}  // namespace
