// The cluster job companion with a head node named: over SSH on the loopback sshd as the test user.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "ServerHarness.h"
#include "SlurmJobs.h"
#include "TestUtil.h"
#include "ZEPHpcTool.h"

namespace {

using namespace zep::testing;

// The test user writes the job's output, so the job's folder is the user's: its shared working folder.
class SlurmOverSsh : public ServerSuite<true, true, true> {
  protected:
    static void TearDownTestSuite() {
        CZEPHpcTool::HPC_SetHeadNode(nullptr);
        ServerSuite::TearDownTestSuite();
    }
    void SetUp() override {
        ServerSuite::SetUp();
        CZEPHpcTool::HPC_SetHeadNode(("127.0.0.1:" + std::to_string(server().port)).c_str());
    }

    int Submit(long& jobId, const std::string& password, const std::string& solverText) {
        WriteFile(run_ + "/solver.sh", solverText);
        chmod((run_ + "/solver.sh").c_str(), 0755);
        return SubmitJob(jobId, run_ + "/solver.sh", run_, "127.0.0.1", 2, server().user, password);
    }

    const std::string run_ = servers_->shared;
};

TEST_F(SlurmOverSsh, AJobIsSubmittedWaitedForAndSummarisedOnTheHeadNode) {
    long jobId = -1;
    ASSERT_EQ(Submit(jobId, server().password, ReadFile(DataPath("integration/solver.sh"))), 0);
    ASSERT_GT(jobId, 0);
    ExpectJobCompletes(jobId, run_, servers_->node, 2, run_,
                       " as " + server().user + " args [-project my run.cmx -np 2] in " + run_);
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

    CZEPHpcTool::HPC_SetHeadNode("127.0.0.1:http");
    EXPECT_EQ(Submit(jobId, server().password, "#!/bin/sh\ntrue\n"), -1);
}

}  // namespace
