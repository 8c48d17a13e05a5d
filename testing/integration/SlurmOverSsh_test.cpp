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

class SlurmOverSsh : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new ScopedTempDir();
        cluster_ = new zep::testing::SlurmCluster();
        server_ = new zep::testing::SshServer();
        ready_ = cluster_->Start(folder_->File("slurm"), &why_) &&
                 server_->Start(folder_->File("sshd"), &why_,
                                "SetEnv SLURM_CONF=" + cluster_->configuration() + "\n");
        // The companion checks the head node against the caller's known_hosts: a home of the test's own.
        const char* home = getenv("HOME");
        savedHome_ = home != nullptr ? home : "";
        setenv("HOME", folder_->path().c_str(), 1);
        // The test user writes the job's output, so its folder is the user's.
        if (ready_) {
            std::string output;
            run_ = folder_->File("run");
            ready_ = RunShell("mkdir -p " + run_ + " && chown " + server_->user() + ": " + run_ +
                                  " && chmod 755 " + folder_->path(),
                              &output) == 0;
            if (!ready_) why_ = output;
        }
    }
    static void TearDownTestSuite() {
        setenv("HOME", savedHome_.c_str(), 1);
        CZEPHpcTool::HPC_SetHeadNode(nullptr);
        delete server_;
        delete cluster_;
        delete folder_;
    }
    void SetUp() override {
        ZEP_REQUIRE_SERVER(ready_, why_);
        CZEPHpcTool::HPC_SetHeadNode(("127.0.0.1:" + std::to_string(server_->port())).c_str());
    }

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
        return tool.HPC_CreateJob(jobId, server_->user().c_str(), password.c_str(),
                                  "Tarvik3D HPC Job - solver.sh", ZEP_COMPUTING_SINGLE_NODE, 1, names, counts,
                                  solver.c_str(), "-project \"my run.cmx\"", folder.c_str(),
                                  (folder + "\\zephpc_stdout.txt").c_str(),
                                  (folder + "\\zephpc_stderr.txt").c_str(), "localhost");
    }

    static ScopedTempDir* folder_;
    static zep::testing::SlurmCluster* cluster_;
    static zep::testing::SshServer* server_;
    static bool ready_;
    static std::string why_;
    static std::string savedHome_;
    static std::string run_;
};

ScopedTempDir* SlurmOverSsh::folder_ = nullptr;
zep::testing::SlurmCluster* SlurmOverSsh::cluster_ = nullptr;
zep::testing::SshServer* SlurmOverSsh::server_ = nullptr;
bool SlurmOverSsh::ready_ = false;
std::string SlurmOverSsh::why_;
std::string SlurmOverSsh::savedHome_;
std::string SlurmOverSsh::run_;

TEST_F(SlurmOverSsh, AJobIsSubmittedWaitedForAndSummarisedOnTheHeadNode) {
    long jobId = -1;
    ASSERT_EQ(
        Submit(jobId, server_->password(),
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
                HasSubstr(job + "COMPLETED, nodes " + cluster_->node() + ", started "));
    EXPECT_THAT(std::string(info.PrintJobBasicEndInfo()), HasSubstr(", exit code 0:0"));

    // Both tasks ran as the account's user, with the solver's arguments, in the job's folder.
    const std::string out = ReadFile(run_ + "/zephpc_stdout.txt");
    const std::string where = " as " + server_->user() + " args [-project my run.cmx] in " + run_ + "\n";
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
    EXPECT_EQ(Submit(jobId, server_->password(), "#!/bin/sh\ntrue\n"), -1);
}

}  // namespace
