// Whole runs from Windows: CZEPTools of ZEP3DTool.dll, linked through its import library as a solver
// links it, with the real companion DLLs, under Wine on this machine's loopback servers. A run on the
// Linux storage node over SSH (task mode 11), a one-node cluster job on Slurm over SSH on the head node
// (task mode 12), and a run on this machine whose launcher is a stand-in program started through the
// session companion (task mode 0). wine-wholerun.sh starts the servers, prepares the node's side and
// names what it made in ZEP3D_WINRUN_* variables.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "RunFolder.h"
#include "TestUtil.h"
#include "ZEPSSH2Tool.h"
#include "zep3d/ZEPTools.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using zep::testing::FileExists;
using zep::testing::FilesStartingWith;
using zep::testing::HasForm;
using zep::testing::Lines;
using zep::testing::MachineBlock;
using zep::testing::ReadFile;
using zep::testing::ScopedTempDir;
using zep::testing::StdoutCapture;
using zep::testing::TaskBlock;
using zep::testing::WriteFile;

// The solver's command line as the project manager passes it: program and project between the markers.
const char kCommandLine[] = "\"C:\\App\\*D:\\Work\\P*\"";

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// What wine-wholerun.sh made, by the Linux names of its folders.
struct Servers {
    std::string folder;     // the work folder: node/, calls/, install/, refused/
    std::string shared;     // the shared working folder, under /ZEP_WorkingFolder
    std::string user;       // the test user of the sshd and of the accounts in install/
    std::string userHome;   // the test user's home on the node
    std::string slurmNode;  // the cluster's one node
    std::string launcher;   // the stand-in launcher program
    int sshPort = 0;
    int slurmCpus = 0;

    // False with `why` set when the test program was not started by wine-wholerun.sh.
    bool Read(std::string* why) {
        folder = Environment("ZEP3D_WINRUN_FOLDER");
        shared = Environment("ZEP3D_WINRUN_SHARED");
        user = Environment("ZEP3D_WINRUN_USER");
        userHome = Environment("ZEP3D_WINRUN_USER_HOME");
        slurmNode = Environment("ZEP3D_WINRUN_SLURM_NODE");
        launcher = Environment("ZEP3D_WINRUN_LAUNCHER");
        sshPort = std::atoi(Environment("ZEP3D_WINRUN_SSH_PORT").c_str());
        slurmCpus = std::atoi(Environment("ZEP3D_WINRUN_SLURM_CPUS").c_str());
        if (folder.empty() || shared.empty() || user.empty() || userHome.empty() || slurmNode.empty() ||
            launcher.empty() || sshPort <= 0 || slurmCpus <= 0) {
            *why = "no servers: run this program through testing/integration/wine-wholerun.sh";
            return false;
        }
        return true;
    }
};

// The Windows name of a file of the Linux host: Wine's drive Z: is the host's root.
std::string OnZ(const std::string& linuxPath) {
    std::string path = "Z:" + linuxPath;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// The same file named without a drive letter: on the current drive (Z:, where wine-wholerun.sh starts
// the program), and so under the same name as on the Linux machines once backslashes become "/".
std::string WithoutDrive(const std::string& linuxPath) { return OnZ(linuxPath).substr(2); }

bool WaitForFile(const std::string& path, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!FileExists(path)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// The SSH companion reads the profile folder from the runtime's environment at every connection.
void SetProfile(const std::string& folder) { _putenv(("USERPROFILE=" + folder).c_str()); }

// The servers for every test, and a user profile of the program's own, where the SSH companion keeps
// the hosts it has met (known_hosts).
class WindowsWholeRun : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        ready_ = servers_.Read(&why_);
        profile_ = new ScopedTempDir();
        savedProfile_ = Environment("USERPROFILE");
        SetProfile(fs::path(profile_->path()).make_preferred().string());
    }
    static void TearDownTestSuite() {
        SetProfile(savedProfile_);
        delete profile_;
        profile_ = nullptr;
    }
    void SetUp() override {
        if (!ready_) GTEST_SKIP() << why_;
    }

    static Servers servers_;
    static bool ready_;
    static std::string why_;
    static ScopedTempDir* profile_;
    static std::string savedProfile_;
};

Servers WindowsWholeRun::servers_;
bool WindowsWholeRun::ready_ = false;
std::string WindowsWholeRun::why_;
ScopedTempDir* WindowsWholeRun::profile_ = nullptr;
std::string WindowsWholeRun::savedProfile_;

// ---- Task mode 11: the storage node over SSH --------------------------------------------------------

// The project lies in the shared working folder, which this machine reaches as Z:\ZEP_WorkingFolder\...
// and the node as /ZEP_WorkingFolder/...; its run folders 01 to 03 belong to the node's user. The node's
// installation has stand-ins for the MPD and launcher scripts that record their calls.
class WindowsWholeRunOverSsh : public WindowsWholeRun {
  protected:
    void SetUp() override {
        WindowsWholeRun::SetUp();
        if (IsSkipped()) return;
        CZEPSSH2Tool::SSH2_SetPort(servers_.sshPort);
        CZEPSSH2Tool::SSH2_SetTimeout(20000);
        nodeHome_ = servers_.folder + "/node/";
        calls_ = OnZ(servers_.folder + "/calls");
        std::error_code error;
        fs::remove(OnZ(servers_.userHome + "/.mpd.conf"), error);
        for (const auto& entry : fs::directory_iterator(calls_, error)) fs::remove(entry.path(), error);
    }
    void TearDown() override {
        CZEPSSH2Tool::SSH2_SetPort(22);
        CZEPSSH2Tool::SSH2_SetTimeout(0);
    }

    // Sets up and executes one run in its own run folder at trace level 0 with the account of the
    // installation `install` ("install", or "refused" for one with another password); returns what was
    // printed.
    std::string Run(const std::string& runId, bool redirect, int minPort, int maxPort,
                    const std::vector<std::string>& hosts = {"localhost"},
                    const std::string& install = "install") {
        linuxProject_ = servers_.shared + "/My Proj";
        project_ = OnZ(linuxProject_);
        runPath_ = project_ + "/Analysis/Run" + runId;
        linuxRunPath_ = linuxProject_ + "/Analysis/Run" + runId;
        fs::create_directories(runPath_);
        const std::string keys =
            "ValueSharedTarvik3DName=" + nodeHome_ +
            "\nValueParallelWorkingFolder=D:\\Work\nValueMinPort=" + std::to_string(minPort) +
            "\nValueMaxPort=" + std::to_string(maxPort) + "\n";
        // Two tasks over the machines, all on the first when there is one.
        std::vector<std::string> machines;
        for (const std::string& host : hosts)
            machines.push_back(host + " " + std::to_string(2 / hosts.size()) + " " + nodeHome_);
        WriteFile(runPath_ + "/Part" + runId + ".cmx",
                  TaskBlock(11, 2, redirect ? "ValueConsoleRedirection=1\n" : "") +
                      MachineBlock(machines, std::vector<std::string>(hosts.size(), "1"), keys));

        const std::string installDir = OnZ(servers_.folder + "/" + install) + "\\";
        CZEPTools tools;
        EXPECT_EQ(tools.SetCommand(0, kCommandLine, installDir.c_str(), project_.c_str(), "Part", "solver",
                                   runId.c_str(), 0),
                  2)
            << tools.GetCommandErrMsg();
        long jobId = 0;
        StdoutCapture capture;
        EXPECT_EQ(tools.ExecuteCommand(jobId), 2);
        EXPECT_EQ(jobId, -1);
        return capture.Stop();
    }

    // What the remote launcher received: the MPI companion's working-folder option (with the run folder
    // as this machine names it), the node's machine file, the task count, the solver on the node and the
    // command line with the node's paths.
    std::vector<std::string> ExpectedLauncherArguments() const {
        return {"-wdir", runPath_, "-machinefile",        linuxRunPath_ + "/machines.txt",
                "-n",    "2",      nodeHome_ + "/solver", nodeHome_ + "*" + linuxProject_ + "*"};
    }

    // The ring boot's traces on the node: the MPD configuration file, and the hosts file with one line
    // per machine, removed after the boot.
    void ExpectRingBooted(const std::string& portRange, const std::vector<std::string>& hosts) {
        EXPECT_EQ(ReadFile(OnZ(servers_.userHome + "/.mpd.conf")), "MPD_PORT_RANGE=" + portRange + "\n");
        const std::vector<std::string> boot = Lines(ReadFile(calls_ + "\\mpdboot.args"));
        ASSERT_EQ(boot.size(), 6u) << ReadFile(calls_ + "\\mpdboot.args");
        EXPECT_EQ(boot[0], "-n");
        EXPECT_EQ(boot[1], std::to_string(hosts.size()));
        EXPECT_EQ(boot[2], "-f");
        EXPECT_TRUE(HasForm(boot[3], "/tmp/mpdhosts_99999999_999999.txt")) << boot[3];
        EXPECT_EQ(boot[4], "-r");
        EXPECT_EQ(boot[5], "rsh");
        std::string hostsText;
        for (const std::string& host : hosts) hostsText += host + "\r\n";
        EXPECT_EQ(ReadFile(calls_ + "\\mpdboot.hosts"), hostsText + "\n");
        EXPECT_FALSE(FileExists(OnZ(boot[3]))) << "the hosts file of this run is removed";
    }

    std::string LauncherPid() const { return ReadFile(calls_ + "\\mpiexec.self"); }

    std::string nodeHome_;
    std::string calls_;
    std::string linuxProject_;
    std::string project_;
    std::string runPath_;
    std::string linuxRunPath_;
};

TEST_F(WindowsWholeRunOverSsh, RedirectedRunBootsTheRingWritesTheMachineFileAndCapturesTheConsole) {
    const std::string printed = Run("01", true, 20000, 20100);

    const std::vector<std::string> consoles = FilesStartingWith(runPath_, "console_redirect_");
    ASSERT_EQ(consoles.size(), 1u) << printed;
    EXPECT_TRUE(HasForm(consoles[0], "console_redirect_9999-99-99_99-99-99.txt")) << consoles[0];
    EXPECT_EQ(printed,
              ">>> Console redirection is turned on!\n"
              ">>> The content of the console screen will be redirected to\n"
              ">>> " +
                  runPath_ + "\\" + consoles[0] +
                  "\n"
                  ">>> Return value of mpiexec.py = 5\n");

    ExpectRingBooted("20000:20100", {"localhost"});
    EXPECT_EQ(ReadFile(runPath_ + "/machines.txt"), "localhost\r\nlocalhost\r\n\n");
    EXPECT_EQ(Lines(ReadFile(calls_ + "\\mpiexec.args")), ExpectedLauncherArguments());

    const std::string pid = LauncherPid();
    ASSERT_FALSE(pid.empty());
    EXPECT_EQ(ReadFile(runPath_ + "/mpiexec.pid"), pid) << "the id of the launcher itself";
    const std::string console = ReadFile(runPath_ + "/" + consoles[0]);
    EXPECT_THAT(console, HasSubstr("<mpiexec>" + pid.substr(0, pid.size() - 1) + "</mpiexec>\n"));
    EXPECT_THAT(console, HasSubstr("stand-in mpiexec: 8 arguments\n"));
    EXPECT_THAT(console, HasSubstr("stand-in mpiexec: to standard error\n"));
    EXPECT_THAT(console, HasSubstr("stand-in mpiexec: done\n")) << "followed until the launcher ends";

    // The node was new to this profile: its ECDSA key, the type that the Windows SSH library checks, is
    // remembered under its name and port.
    const std::string knownHosts = ReadFile(profile_->File(".ssh/known_hosts"));
    EXPECT_THAT(knownHosts,
                HasSubstr("[localhost]:" + std::to_string(servers_.sshPort) + " ecdsa-sha2-nistp256 "));
}

TEST_F(WindowsWholeRunOverSsh, TwoMachineRunWithoutRedirectionShowsTheConsoleAndKeepsOnlyThePidFile) {
    // Two names of the node, so two machines in the ring, both reached through the storage node.
    const std::string printed = Run("02", false, 10000, 11000, {"localhost", "127.0.0.1"});

    EXPECT_TRUE(FilesStartingWith(runPath_, "console_redirect_").empty());
    EXPECT_THAT(printed, Not(HasSubstr(">>>")));
    EXPECT_THAT(printed, Not(HasSubstr("failed")));
    EXPECT_THAT(printed, Not(HasSubstr("Failed"))) << "both machines are in the ring";
    EXPECT_THAT(printed, HasSubstr("stand-in mpiexec: 8 arguments\n"));
    EXPECT_THAT(printed, HasSubstr("stand-in mpiexec: done\n"));

    ExpectRingBooted("10000:11000", {"localhost", "127.0.0.1"});
    EXPECT_EQ(ReadFile(runPath_ + "/machines.txt"), "localhost\r\n127.0.0.1\r\n\n");
    EXPECT_EQ(Lines(ReadFile(calls_ + "\\mpiexec.args")), ExpectedLauncherArguments());
    const std::string pid = LauncherPid();
    ASSERT_FALSE(pid.empty());
    EXPECT_EQ(ReadFile(runPath_ + "/mpiexec.pid"), pid);
    EXPECT_THAT(printed, HasSubstr("<mpiexec>" + pid.substr(0, pid.size() - 1) + "</mpiexec>\n"));
}

TEST_F(WindowsWholeRunOverSsh, RefusedPasswordIsReportedStepByStepAndLeavesNothingOnTheNode) {
    const std::string printed = Run("03", true, 10000, 11000, {"localhost"}, "refused");

    const std::vector<std::string> consoles = FilesStartingWith(runPath_, "console_redirect_");
    ASSERT_EQ(consoles.size(), 1u) << printed;
    std::string expected = "Authentication for password failed.\n";
    for (const char* label : {"touch ~/.mpd.conf", "set MPD_PORT_RANGE to ~/.mpd.conf",
                              "chmod 600 ~/.mpd.conf", "touch mpdhosts.txt in tmp folder",
                              "Modify mpdhosts.txt in tmp folder", "Run mpdboot", "Run mpdtrace for check"}) {
        expected += std::string("SSH2_RemoteCommandStdoutStderr(") + label + ") failed, iErr=-6\n";
    }
    expected += "Check mpd of [localhost] ... Failed!\n";
    for (const char* label :
         {"touch machines.txt in current run folder", "Modify machines.txt in current run folder"})
        expected += std::string("SSH2_RemoteCommandStdoutStderr(") + label + ") failed, iErr=-6\n";
    expected +=
        ">>> Console redirection is turned on!\n>>> The content of the console screen will be redirected "
        "to\n>>> " +
        runPath_ + "\\" + consoles[0] + "\n>>> Return value of mpiexec.py = -1\n";
    EXPECT_EQ(printed, expected);

    EXPECT_FALSE(FileExists(OnZ(servers_.userHome + "/.mpd.conf")));
    EXPECT_FALSE(FileExists(calls_ + "\\mpdboot.args"));
    EXPECT_FALSE(FileExists(runPath_ + "/machines.txt"));
    EXPECT_FALSE(FileExists(calls_ + "\\mpiexec.args"));
    EXPECT_FALSE(FileExists(runPath_ + "/mpiexec.pid")) << "no launcher, so no process-id file";
}

// ---- Task mode 12: a one-node cluster job over SSH on the head node ---------------------------------

// The head node is named by ZEP_HPC_HEAD_NODE. The cluster sees the job's folders under the names this
// machine gives them, so installation and project are named without a drive letter; the run folder
// belongs to the account's user.
TEST_F(WindowsWholeRun, ClusterJobIsSubmittedOnTheHeadNodeWaitedForAndSummarised) {
    const int tasks = servers_.slurmCpus >= 2 ? 2 : 1;
    const std::string install = WithoutDrive(servers_.folder + "/install") + "\\";
    const std::string project = WithoutDrive(servers_.folder + "/hpc/My Proj");
    const std::string runPath = project + "/Analysis/Run01";
    const std::string linuxRunPath = servers_.folder + "/hpc/My Proj/Analysis/Run01";
    fs::create_directories(runPath);
    WriteFile(runPath + "/Part01.cmx", TaskBlock(12, tasks));

    CZEPTools tools;
    const int status = tasks > 1 ? 1 : 0;
    ASSERT_EQ(
        tools.SetCommand(0, kCommandLine, install.c_str(), project.c_str(), "Part", "solver.sh", "01", 0),
        status)
        << tools.GetCommandErrMsg();
    long jobId = -1;
    {
        StdoutCapture capture;
        EXPECT_EQ(tools.ExecuteCommand(jobId), status);
        EXPECT_EQ(capture.Stop(), "") << "the account was read and the job created";
    }
    ASSERT_GT(jobId, 0);

    StdoutCapture capture;
    EXPECT_EQ(tools.WaitCommand(), status);
    const std::vector<std::string> summaries = Lines(capture.Stop());
    const std::string job = "Job " + std::to_string(jobId) + " \"Tarvik3D HPC Job - solver.sh\": state ";
    ASSERT_EQ(summaries.size(), 2u);
    EXPECT_EQ(summaries[0].compare(0, job.size(), job), 0) << summaries[0];
    EXPECT_THAT(summaries[1], HasSubstr(job + "COMPLETED, nodes " + servers_.slurmNode + ", started "));
    EXPECT_THAT(summaries[1], HasSubstr(", exit code 0:0"));

    // Every task ran on the cluster as the account's user, in the job's folder, and wrote its output
    // where this machine reads it.
    const std::string out = ReadFile(runPath + "/zephpc_stdout.txt");
    const std::string err = ReadFile(runPath + "/zephpc_stderr.txt");
    for (int task = 0; task < tasks; ++task) {
        SCOPED_TRACE(task);
        const std::string id = std::to_string(task);
        EXPECT_THAT(out, HasSubstr("task " + id + " of " + std::to_string(tasks) + " as " + servers_.user +
                                   " args [C:\\App\\*D:\\Work\\P*] in " + linuxRunPath + "\n"));
        EXPECT_THAT(out, HasSubstr("task " + id + " done\n"));
        EXPECT_THAT(err, HasSubstr("err " + id + "\n"));
    }
}

// ---- Task mode 0: the launcher on this machine ------------------------------------------------------

TEST_F(WindowsWholeRun, LauncherIsStartedWithTheArgumentsInTheRunFolder) {
    // Blanks in the installation and project folders: the solver path and the launcher's working-folder
    // option must each stay one argument.
    ScopedTempDir temp;
    const std::string install = temp.path() + "/My Install/";
    const std::string project = temp.path() + "/My Proj";
    const std::string runPath = project + "/Analysis/Run01";
    const std::string launcher = install + "Bin/IntelMPI/impiexec.exe";
    fs::create_directories(runPath);
    fs::create_directories(install + "Bin/IntelMPI");
    ASSERT_TRUE(fs::copy_file(OnZ(servers_.launcher), launcher));
    WriteFile(runPath + "/Part01.cmx", TaskBlock(0, 3, "ValueConsoleRedirection=1\n"));

    CZEPTools tools;
    const std::string commandLine = std::string(kCommandLine) + " -batch \"two words\"";
    ASSERT_EQ(tools.SetCommand(0, commandLine.c_str(), install.c_str(), project.c_str(), "Part", "solver.exe",
                               "01", 0),
              1);
    long jobId = 0;
    {
        StdoutCapture capture;
        EXPECT_EQ(tools.ExecuteCommand(jobId), 1);
        EXPECT_EQ(capture.Stop(), "");
    }
    EXPECT_EQ(jobId, -1);

    ASSERT_TRUE(WaitForFile(launcher + ".record", 30000)) << "the launcher did not start";
    const std::vector<std::string> record = Lines(ReadFile(launcher + ".record"));
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(record[0], fs::path(runPath).make_preferred().string()) << "its working folder";
    const std::vector<std::string> arguments = {"-wdir",
                                                runPath,
                                                "-localonly",
                                                "-np",
                                                "3",
                                                install + "\\Bin\\solver.exe",
                                                "C:\\App\\*D:\\Work\\P*",
                                                "-batch",
                                                "two words"};
    EXPECT_EQ(std::vector<std::string>(record.begin() + 1, record.end()), arguments);
    const std::vector<std::string> consoles = FilesStartingWith(runPath, "console_redirect_");
    ASSERT_EQ(consoles.size(), 1u);
    EXPECT_EQ(ReadFile(runPath + "/" + consoles[0]), "launcher: 9 arguments\r\n");
}

}  // namespace
