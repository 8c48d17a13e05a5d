// Tests of the launch dispatch and the local route: the launcher's argument string, the route chosen
// for each task mode, the account preparation, the traces, and the façade's launch operations.
#include <gtest/gtest.h>

#include "CompanionFakes.h"
#include "LaunchFixture.h"
#include "zep3d/ZEPTools.h"

namespace {

using zep::fakes::CallsOf;
using zep::testing::MachineBlock;
using zep::testing::StdoutCapture;
using zep::testing::TaskBlock;

const char kKeys[] = "ValueShareFolderName=Work\nValueLocalHost=PC01\nValueSharedTarvik3DName=App\n";

class LaunchDispatch : public zep::testing::LaunchTest {};

TEST_F(LaunchDispatch, SingleMachineArgumentsQuoteTheSolverAndFollowTheConfigurationText) {
    ASSERT_EQ(SetUpRun(TaskBlock(0, 1)), 0);
    zep::fakes::ScriptConfigurationString(L"-wdir \"X\"");
    EXPECT_EQ(Execute(), -1);
    EXPECT_EQ(handler_->m_sPPPName, "-wdir \"X\" -localonly -np 1 \"" + install_ + "\\Bin\\solver.exe\" " +
                                        std::string(kCommandLine));
    EXPECT_EQ(handler_->m_nRemoteHost, 0);

    // An empty configuration text leaves the blank that opens the options; a solver path with blanks
    // stays one argument.
    install_ = run_.temp().path() + "/My Install/";
    ASSERT_EQ(SetUpRun(TaskBlock(0, 4)), 1);
    Execute();
    EXPECT_EQ(handler_->m_sPPPName,
              " -localonly -np 4 \"" + install_ + "\\Bin\\solver.exe\" " + std::string(kCommandLine));
    const auto spawns = CallsOf("CZEPNetSession::SpawnMPIProcess");
    ASSERT_EQ(spawns.size(), 1u);
    EXPECT_EQ(spawns[0].args,
              (std::vector<std::string>{install_ + "Bin\\IntelMPI\\impiexec.exe", handler_->m_sPPPName, "0",
                                        run_.runPath(), "1", "0"}));
}

TEST_F(LaunchDispatch, SeveralMachinesUseTheLauncherFileAndCountTheMachines) {
    ASSERT_EQ(SetUpRun(TaskBlock(1, 3, "ValueConsoleRedirection=1\n") +
                       MachineBlock({"PC01 2 C:\\App\\", "PC02 1 C:\\App\\"}, {"1", "1"}, kKeys)),
              2);
    Execute();
    EXPECT_EQ(handler_->m_sPPPName, "-configfile \"" + run_.RunFile(".pwf") + "\"");
    EXPECT_EQ(handler_->m_nRemoteHost, 2);
    const auto spawns = CallsOf("CZEPNetSession::SpawnMPIProcess");
    ASSERT_EQ(spawns.size(), 1u);
    EXPECT_EQ(spawns[0].args,
              (std::vector<std::string>{install_ + "Bin\\IntelMPI\\impiexec.exe", handler_->m_sPPPName, "2",
                                        run_.runPath(), "0", "1"}));
    // Rebuilt from the fields, not from the previous string.
    Execute();
    EXPECT_EQ(handler_->m_sPPPName, "-configfile \"" + run_.RunFile(".pwf") + "\"");
}

TEST_F(LaunchDispatch, AccountPreparationIsTriedUntilItWorksAtMostTenTimes) {
    ASSERT_EQ(SetUpRun(TaskBlock(0, 2)), 1);
    const std::pair<std::vector<int>, size_t> cases[] = {
        {std::vector<int>(20, 1), 10}, {{1, 1, 0, 1}, 3}, {{}, 1}};
    for (const auto& c : cases) {
        zep::fakes::Reset();
        zep::fakes::ScriptResults("CZEPMPITool::ConvertAcc2RegistryForIntelMPI", c.first);
        Execute();
        const auto tries = CallsOf("CZEPMPITool::ConvertAcc2RegistryForIntelMPI");
        ASSERT_EQ(tries.size(), c.second);
        EXPECT_EQ(tries[0].args, (std::vector<std::string>{install_, "0"}));
        EXPECT_EQ(CallsOf("CZEPNetSession::SpawnMPIProcess").size(), 1u);
    }
}

// The routes of the known task modes are tested through this dispatch in their own tests.
TEST_F(LaunchDispatch, AnUnknownTaskModeStartsNothing) {
    SetUpRun(TaskBlock(5, 2) + MachineBlock({"node1 2 /opt/T/"}, {"1"}, kKeys));
    StdoutCapture out;
    EXPECT_EQ(Execute(), -1);
    out.Stop();
    for (const auto& call : zep::fakes::Calls()) {
        EXPECT_TRUE(call.name.rfind("CZEPUnicodeTool", 0) == 0 ||
                    call.name.rfind("CZEPMPITool::GetIntel", 0) == 0)
            << call.name;
    }
    EXPECT_EQ(handler_->m_nRemoteHost, 1);
    EXPECT_EQ(handler_->m_iStatus, -3307);
}

TEST_F(LaunchDispatch, TracesAtLevelTwoAndNothingBelow) {
    const std::string cmx = TaskBlock(13, 2) + MachineBlock({"A 2 \\\\S\\App\\"}, {"1"}, kKeys);
    WriteAccount("u", "p");
    SetUpRun(cmx, 1);
    {
        StdoutCapture out;
        Execute();
        EXPECT_EQ(out.Stop(), "");
    }
    SetUpRun(cmx, 2);
    StdoutCapture out;
    Execute();
    EXPECT_EQ(out.Stop(), Golden("dispatch_trace.txt"));

    // A single-machine run traces only the banner of the process cleaner.
    SetUpRun(TaskBlock(0, 2), 2);
    StdoutCapture single;
    handler_->SetProcessCleaner();
    EXPECT_EQ(single.Stop(), "\n======In CommandHandler::SetProcessCleaner======\n");
}

TEST_F(LaunchDispatch, FacadeLaunchOperationsKeepTheSetUpStatus) {
    CZEPTools tools;
    long jobId = 7;
    EXPECT_EQ(tools.ExecuteCommand(jobId), -3300);
    EXPECT_EQ(jobId, -1);
    EXPECT_EQ(tools.WaitCommand(), -3300);

    run_.WriteCmx(TaskBlock(1, 1) +
                  MachineBlock({"PC01 1 C:\\App\\"}, {"1"},
                               std::string(kKeys) + "ValueParallelWorkingFolder=E:\\Other\n"));
    EXPECT_EQ(tools.SetCommand(0, kCommandLine, install_.c_str(), run_.projectDir().c_str(), "Part",
                               "solver.exe", "01", 0),
              -3306);
    zep::fakes::Reset();
    EXPECT_EQ(tools.ExecuteCommand(jobId), -3306);
    EXPECT_EQ(jobId, -1);
    EXPECT_EQ(tools.WaitCommand(), -3306);
    EXPECT_TRUE(CallsOf("CZEPHpcTool::HPC_GetJobInfo").empty());
}

}  // namespace
