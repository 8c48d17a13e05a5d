// Whole runs through CZEPTools with the real companion libraries, on 127.0.0.1 only: a run on the Linux
// storage node over SSH (task mode 11), a one-node cluster job on Slurm (task mode 12), and a run on
// this machine whose launcher is a script that records what it was given (task mode 0).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RunFolder.h"
#include "ServerHarness.h"
#include "TestUtil.h"
#include "ZEPHpcTool.h"
#include "ZEPSSH2Tool.h"
#include "toolkit/AccountPassword.h"
#include "tools/CommandHandler.h"
#include "zep3d/ZEPTools.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using zep::testing::FileExists;
using zep::testing::FilesStartingWith;
using zep::testing::HasForm;
using zep::testing::Lines;
using zep::testing::MachineBlock;
using zep::testing::ReadFile;
using zep::testing::RunShell;
using zep::testing::ScopedTempDir;
using zep::testing::StdoutCapture;
using zep::testing::TaskBlock;
using zep::testing::WriteFile;

// The solver's command line as the project manager passes it: program and project between the markers.
const char kCommandLine[] = "\"C:\\App\\*D:\\Work\\P*\"";

void WriteScript(const std::string& path, const std::string& text) {
    WriteFile(path, text);
    chmod(path.c_str(), 0755);
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void WriteAccount(const std::string& installDir, const std::string& user, const std::string& password) {
    fs::create_directories(installDir + "Bin");
    WriteFile(installDir + "Bin/acc.ini",
              zep::toolkit::AccountFileText(user, zep::toolkit::EncipherAccountPassword(password)));
}

// ---- Task mode 11: the storage node over SSH --------------------------------------------------------

// The loopback sshd and its test user; a node installation with stand-ins for the MPD and launcher
// scripts that record their calls; and the shared working folder, which the node sees at the same path,
// so that the local run folder and the node's run folder are one folder.
class WholeRunOverSsh : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new ScopedTempDir();
        server_ = new zep::testing::SshServer();
        ready_ = server_->Start(folder_->File("sshd"), &why_);
        // The SSH companion remembers the node in the caller's known_hosts: a home of the test's own.
        const char* home = getenv("HOME");
        hadHome_ = home != nullptr;
        savedHome_ = home != nullptr ? home : "";
        fs::create_directories(folder_->File("caller"));
        setenv("HOME", folder_->File("caller").c_str(), 1);
        if (ready_) ready_ = PrepareNode();
    }
    static void TearDownTestSuite() {
        if (hadHome_) {
            setenv("HOME", savedHome_.c_str(), 1);
        } else {
            unsetenv("HOME");
        }
        std::error_code error;
        if (!shared_.empty()) fs::remove_all(shared_, error);
        // The common root only when this test made it and no one else has put anything in it.
        if (createdRoot_) fs::remove(kWorkingRoot, error);
        delete server_;
        delete folder_;
    }

    void SetUp() override {
        ZEP_REQUIRE_SERVER(ready_, why_);
        CZEPSSH2Tool::SSH2_SetPort(server_->port());
        CZEPSSH2Tool::SSH2_SetTimeout(20000);
        std::error_code error;
        fs::remove(server_->home() + "/.mpd.conf", error);
        for (const auto& entry : fs::directory_iterator(calls_, error)) fs::remove(entry.path(), error);
    }
    void TearDown() override {
        CZEPSSH2Tool::SSH2_SetPort(22);
        CZEPSSH2Tool::SSH2_SetTimeout(0);
    }

    // The node installation and the shared working folder, owned by the test user where the scripts
    // write. False with why_ set when they cannot be made.
    static bool PrepareNode() {
        const std::string user = server_->user();
        nodeHome_ = folder_->File("node") + "/";
        calls_ = folder_->File("calls");
        fs::create_directories(nodeHome_ + "IntelMPI");
        fs::create_directories(calls_);
        // mpdboot.py keeps a copy of the hosts file, which the library removes after the boot.
        WriteScript(nodeHome_ + "IntelMPI/mpdboot.py", "#!/bin/bash\nprintf '%s\\n' \"$@\" > " + calls_ +
                                                           "/mpdboot.args\n[ -f \"$4\" ] && cp \"$4\" " +
                                                           calls_ + "/mpdboot.hosts\nexit 0\n");
        // mpdtrace.py names the hosts of the ring that mpdboot.py was given.
        WriteScript(nodeHome_ + "IntelMPI/mpdtrace.py", "#!/bin/bash\n[ -f " + calls_ +
                                                            "/mpdboot.hosts ] && tr -d '\\r' < " + calls_ +
                                                            "/mpdboot.hosts | grep .\nexit 0\n");
        // mpiexec.py: its arguments, its own process id, some console output on both streams, a pause so
        // that the console is followed while it runs, and a return value of its own.
        WriteScript(nodeHome_ + "IntelMPI/mpiexec.py",
                    "#!/bin/bash\nprintf '%s\\n' \"$@\" > " + calls_ + "/mpiexec.args\necho $$ > " + calls_ +
                        "/mpiexec.self\necho \"stand-in mpiexec: $# arguments\"\nsleep 1\n"
                        "echo \"stand-in mpiexec: to standard error\" >&2\necho \"stand-in mpiexec: done\"\n"
                        "exit 5\n");

        std::error_code error;
        if (!fs::exists(kWorkingRoot)) {
            createdRoot_ = fs::create_directory(kWorkingRoot, error);
            if (!createdRoot_) {
                why_ = std::string("cannot make ") + kWorkingRoot + ": " + error.message();
                return false;
            }
            chmod(kWorkingRoot, 0755);
        }
        shared_ = std::string(kWorkingRoot) + "/wholerun_" + user;
        fs::remove_all(shared_, error);
        if (!fs::create_directories(shared_, error)) {
            why_ = "cannot make " + shared_ + ": " + error.message();
            shared_.clear();
            return false;
        }
        std::string output;
        if (RunShell("chown -R " + user + ": " + Quote(shared_) + " " + Quote(calls_), &output) != 0) {
            why_ = "cannot give the shared folder to " + user + ": " + output;
            return false;
        }
        return true;
    }

    // Sets up and executes one run in its own run folder at trace level 0, with the test user's account
    // (or another password); returns what was printed. The run folder belongs to the test user, who
    // writes the machine file there.
    // The project folder's name, the words after the solver's command line and the node installation
    // folder may be given.
    std::string Run(const std::string& runId, bool redirect, int minPort, int maxPort,
                    const std::vector<std::string>& hosts = {"localhost"},
                    const std::string& password = std::string(), const std::string& projectName = "My Proj",
                    const std::string& moreWords = "", const std::string& home = std::string()) {
        project_ = shared_ + "/" + projectName;
        runPath_ = project_ + "/Analysis/Run" + runId;
        fs::create_directories(runPath_);
        std::string output;
        RunShell("chown -R " + server_->user() + ": " + Quote(project_), &output);
        install_ = folder_->File("Install") + "/";
        WriteAccount(install_, server_->user(), password.empty() ? server_->password() : password);
        const std::string keys =
            "ValueSharedTarvik3DName=" + (home.empty() ? nodeHome_ : home) +
            "\nValueParallelWorkingFolder=D:\\Work\nValueMinPort=" + std::to_string(minPort) +
            "\nValueMaxPort=" + std::to_string(maxPort) + "\n";
        // Two tasks over the machines, all on the first when there is one.
        std::vector<std::string> machines;
        for (const std::string& host : hosts)
            machines.push_back(host + " " + std::to_string(2 / hosts.size()) + " " + nodeHome_);
        WriteFile(runPath_ + "/Part" + runId + ".cmx",
                  TaskBlock(11, 2, redirect ? "ValueConsoleRedirection=1\n" : "") +
                      MachineBlock(machines, std::vector<std::string>(hosts.size(), "1"), keys));

        CZEPTools tools;
        const std::string commandLine = kCommandLine + moreWords;
        EXPECT_EQ(tools.SetCommand(0, commandLine.c_str(), install_.c_str(), project_.c_str(), "Part",
                                   "solver", runId.c_str(), 0),
                  2)
            << tools.GetCommandErrMsg();
        long jobId = 0;
        StdoutCapture capture;
        EXPECT_EQ(tools.ExecuteCommand(jobId), 2);
        EXPECT_EQ(jobId, -1);
        return capture.Stop();
    }

    // What the launcher received: the MPI companion's working-folder option, the machine file, the task
    // count, the solver on the node and the command line with the node's paths.
    std::vector<std::string> ExpectedLauncherArguments() const {
        return {"-wdir", runPath_, "-machinefile",        runPath_ + "/machines.txt",
                "-n",    "2",      nodeHome_ + "/solver", nodeHome_ + "*" + project_ + "*"};
    }

    // The ring boot's traces on the node: the MPD configuration file, and the hosts file with one line
    // per machine.
    void ExpectRingBooted(const std::string& portRange, const std::vector<std::string>& hosts) {
        const std::string conf = server_->home() + "/.mpd.conf";
        EXPECT_EQ(ReadFile(conf), "MPD_PORT_RANGE=" + portRange + "\n");
        struct stat info;
        ASSERT_EQ(stat(conf.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);

        const std::vector<std::string> boot = Lines(ReadFile(calls_ + "/mpdboot.args"));
        ASSERT_EQ(boot.size(), 6u) << ReadFile(calls_ + "/mpdboot.args");
        EXPECT_EQ(boot[0], "-n");
        EXPECT_EQ(boot[1], std::to_string(hosts.size()));
        EXPECT_EQ(boot[2], "-f");
        EXPECT_TRUE(HasForm(boot[3], "/tmp/mpdhosts_99999999_999999.txt")) << boot[3];
        EXPECT_EQ(boot[4], "-r");
        EXPECT_EQ(boot[5], "rsh");
        std::string hostsText;
        for (const std::string& host : hosts) hostsText += host + "\r\n";
        EXPECT_EQ(ReadFile(calls_ + "/mpdboot.hosts"), hostsText + "\n");
        EXPECT_FALSE(FileExists(boot[3])) << "the hosts file of this run is removed";
    }

    // The launcher's process id as it recorded it, with a line end.
    std::string LauncherPid() const { return ReadFile(calls_ + "/mpiexec.self"); }

    static constexpr const char* kWorkingRoot = "/ZEP_WorkingFolder";
    static ScopedTempDir* folder_;
    static zep::testing::SshServer* server_;
    static bool ready_;
    static std::string why_;
    static bool hadHome_;
    static std::string savedHome_;
    static bool createdRoot_;
    static std::string shared_;
    static std::string nodeHome_;
    static std::string calls_;

    std::string install_;
    std::string project_;
    std::string runPath_;
};

ScopedTempDir* WholeRunOverSsh::folder_ = nullptr;
zep::testing::SshServer* WholeRunOverSsh::server_ = nullptr;
bool WholeRunOverSsh::ready_ = false;
std::string WholeRunOverSsh::why_;
bool WholeRunOverSsh::hadHome_ = false;
std::string WholeRunOverSsh::savedHome_;
bool WholeRunOverSsh::createdRoot_ = false;
std::string WholeRunOverSsh::shared_;
std::string WholeRunOverSsh::nodeHome_;
std::string WholeRunOverSsh::calls_;

TEST_F(WholeRunOverSsh, RedirectedRunBootsTheRingWritesTheMachineFileAndCapturesTheConsole) {
    const std::string printed = Run("01", true, 20000, 20100);

    const std::vector<std::string> consoles = FilesStartingWith(runPath_, "console_redirect_");
    ASSERT_EQ(consoles.size(), 1u) << printed;
    EXPECT_TRUE(HasForm(consoles[0], "console_redirect_9999-99-99_99-99-99.txt")) << consoles[0];
    // Below trace level 2 a run whose steps all succeed prints only the redirection lines.
    EXPECT_EQ(printed,
              ">>> Console redirection is turned on!\n"
              ">>> The content of the console screen will be redirected to\n"
              ">>> " +
                  runPath_ + "\\" + consoles[0] +
                  "\n"
                  ">>> Return value of mpiexec.py = 5\n");

    ExpectRingBooted("20000:20100", {"localhost"});
    EXPECT_EQ(ReadFile(runPath_ + "/machines.txt"), "localhost\r\nlocalhost\r\n\n");
    EXPECT_EQ(Lines(ReadFile(calls_ + "/mpiexec.args")), ExpectedLauncherArguments());

    const std::string pid = LauncherPid();
    ASSERT_FALSE(pid.empty());
    EXPECT_EQ(ReadFile(runPath_ + "/mpiexec.pid"), pid) << "the id of the launcher itself";
    const std::string console = ReadFile(runPath_ + "/" + consoles[0]);
    EXPECT_THAT(console, HasSubstr("<mpiexec>" + pid.substr(0, pid.size() - 1) + "</mpiexec>\n"));
    EXPECT_THAT(console, HasSubstr("stand-in mpiexec: 8 arguments\n"));
    EXPECT_THAT(console, HasSubstr("stand-in mpiexec: to standard error\n"));
    EXPECT_THAT(console, HasSubstr("stand-in mpiexec: done\n")) << "followed until the launcher ends";
}

TEST_F(WholeRunOverSsh, TwoMachineRunWithoutRedirectionShowsTheConsoleAndKeepsOnlyThePidFile) {
    // Two names of this machine, so two machines in the ring, both reached through the storage node.
    const std::string printed = Run("02", false, 10000, 11000, {"localhost", "127.0.0.1"});

    EXPECT_TRUE(FilesStartingWith(runPath_, "console_redirect_").empty());
    EXPECT_THAT(printed, Not(HasSubstr(">>>")));
    EXPECT_THAT(printed, Not(HasSubstr("failed")));
    EXPECT_THAT(printed, Not(HasSubstr("Failed"))) << "both machines are in the ring";
    EXPECT_THAT(printed, HasSubstr("stand-in mpiexec: 8 arguments\n"));
    EXPECT_THAT(printed, HasSubstr("stand-in mpiexec: done\n"));

    ExpectRingBooted("10000:11000", {"localhost", "127.0.0.1"});
    EXPECT_EQ(ReadFile(runPath_ + "/machines.txt"), "localhost\r\n127.0.0.1\r\n\n");
    EXPECT_EQ(Lines(ReadFile(calls_ + "/mpiexec.args")), ExpectedLauncherArguments());
    const std::string pid = LauncherPid();
    ASSERT_FALSE(pid.empty());
    EXPECT_EQ(ReadFile(runPath_ + "/mpiexec.pid"), pid);
    EXPECT_THAT(printed, HasSubstr("<mpiexec>" + pid.substr(0, pid.size() - 1) + "</mpiexec>\n"));
}

TEST_F(WholeRunOverSsh, RefusedAccountIsReportedStepByStepAndLeavesNothingOnTheNode) {
    const std::string printed = Run("03", true, 10000, 11000, {"localhost"}, "not-the-password");

    const std::vector<std::string> consoles = FilesStartingWith(runPath_, "console_redirect_");
    ASSERT_EQ(consoles.size(), 1u) << printed;
    // Every step is tried and reported; the launch itself reports no return value of the launcher.
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

    EXPECT_FALSE(FileExists(server_->home() + "/.mpd.conf"));
    EXPECT_FALSE(FileExists(calls_ + "/mpdboot.args"));
    EXPECT_FALSE(FileExists(runPath_ + "/machines.txt"));
    EXPECT_FALSE(FileExists(calls_ + "/mpiexec.args"));
    EXPECT_FALSE(FileExists(runPath_ + "/mpiexec.pid")) << "no launcher, so no process-id file";
}

// A project folder, a node installation folder and solver arguments that carry shell code: every
// payload would leave a marker file on the node if it ran; the run works and the launcher receives the
// names and words unchanged.
TEST_F(WholeRunOverSsh, ShellCodeInTheProjectReachesTheNodeOnlyAsText) {
    const std::string marker = "zep_marker_";
    const std::string projectName =
        "R&D Tom's `touch " + marker + "1` $(touch " + marker + "2);touch " + marker + "3;#";
    const std::string home =
        folder_->File("node $(touch " + marker + "4)`touch " + marker + "5`;touch " + marker + "6;#") + "/";
    fs::create_directories(home);
    fs::create_directory_symlink(nodeHome_ + "IntelMPI", home + "IntelMPI");
    const std::string words = " \"a b\" $(touch " + marker + "7) `touch " + marker + "8` ;touch " + marker +
                              "9 R&D Tom's \\\"q\\\"";

    const std::string printed = Run("04", false, 10000, 11000, {"localhost"}, "", projectName, words, home);

    EXPECT_THAT(printed, Not(HasSubstr("failed")));
    EXPECT_THAT(printed, HasSubstr("stand-in mpiexec: 18 arguments\n"));
    EXPECT_EQ(ReadFile(runPath_ + "/machines.txt"), "localhost\r\nlocalhost\r\n\n");
    EXPECT_THAT(Lines(ReadFile(calls_ + "/mpdboot.args")),
                ElementsAre("-n", "1", "-f", ::testing::_, "-r", "rsh"));
    std::vector<std::string> expected = {"-wdir", runPath_, "-machinefile",   runPath_ + "/machines.txt",
                                         "-n",    "2",      home + "/solver", home + "*" + project_ + "*"};
    // The words as a Windows program would split the command line.
    for (const std::string& word :
         std::vector<std::string>{"a b", "$(touch", marker + "7)", "`touch", marker + "8`", ";touch",
                                  marker + "9", "R&D", "Tom's", "\"q\""})
        expected.push_back(word);
    EXPECT_EQ(Lines(ReadFile(calls_ + "/mpiexec.args")), expected);

    // No payload ran: no marker anywhere the node's shell could have left one.
    for (const std::string& folder :
         {server_->home(), calls_, runPath_, project_, shared_, home, std::string("/tmp")})
        EXPECT_TRUE(FilesStartingWith(folder, marker).empty()) << folder;
    std::error_code error;
    fs::remove_all(home, error);
}

// ---- Task mode 12: a one-node cluster job on Slurm --------------------------------------------------

class WholeRunOnSlurm : public zep::testing::SlurmClusterSuite {};

TEST_F(WholeRunOnSlurm, JobIsSubmittedWaitedForAndItsOutputLandsInTheRunFolder) {
    // As many tasks as the cluster's node has CPUs, two at most, so that the job never waits for them.
    std::string cpus;
    ASSERT_EQ(RunShell("sinfo -h -N -o %c", &cpus), 0) << cpus;
    const int tasks = std::stoi(cpus) >= 2 ? 2 : 1;
    // Blanks in the installation and project folders, so in the solver's path and in the job's folder
    // and output files.
    ScopedTempDir temp;
    const std::string install = temp.path() + "/My Install/";
    const std::string project = temp.path() + "/My Proj";
    const std::string runPath = project + "/Analysis/Run01";
    fs::create_directories(runPath);
    WriteAccount(install, "runner", "secret");
    // Each task reports itself at once and again after a pause, so that output after the wait shows
    // that the wait lasted until the job's end.
    WriteScript(install + "Bin/solver.sh",
                "#!/bin/sh\necho \"task $SLURM_PROCID of $SLURM_NTASKS args [$*] in $(pwd)\"\n"
                "echo \"err $SLURM_PROCID\" >&2\nsleep 1\necho \"task $SLURM_PROCID done\"\n");
    WriteFile(runPath + "/Part01.cmx", TaskBlock(12, tasks));

    CZEPTools tools;
    const int status = tasks > 1 ? 1 : 0;
    ASSERT_EQ(
        tools.SetCommand(0, kCommandLine, install.c_str(), project.c_str(), "Part", "solver.sh", "01", 0),
        status);
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
    EXPECT_THAT(summaries[1], HasSubstr(job + "COMPLETED, nodes " + cluster().node() + ", started "));
    EXPECT_THAT(summaries[1], HasSubstr(", exit code 0:0"));

    const std::string out = ReadFile(runPath + "/zephpc_stdout.txt");
    const std::string err = ReadFile(runPath + "/zephpc_stderr.txt");
    for (int task = 0; task < tasks; ++task) {
        SCOPED_TRACE(task);
        const std::string id = std::to_string(task);
        EXPECT_THAT(out, HasSubstr("task " + id + " of " + std::to_string(tasks) +
                                   " args [C:\\App\\*D:\\Work\\P*] in " + runPath + "\n"));
        EXPECT_THAT(out, HasSubstr("task " + id + " done\n"));
        EXPECT_THAT(err, HasSubstr("err " + id + "\n"));
    }
}

TEST_F(WholeRunOnSlurm, AJobWhoseSolverFailsIsKeptAsFailed) {
    // The run's own handler, so that how the job ended can be read from it, as zep3dtool run does.
    ScopedTempDir temp;
    const std::string install = temp.path() + "/install/";
    const std::string project = temp.path() + "/proj";
    fs::create_directories(project + "/Analysis/Run01");
    WriteAccount(install, "runner", "secret");
    WriteScript(install + "Bin/solver.sh", "#!/bin/sh\nexit 3\n");
    WriteFile(project + "/Analysis/Run01/Part01.cmx", TaskBlock(12, 1));

    CommandHandler handler(0);
    handler.SetCommandArguments(0, kCommandLine, install.c_str(), project.c_str(), "Part", "solver.sh", "01");
    ASSERT_EQ(handler.ReadCMX4TaskManager(), 0);
    long jobId = -1;
    StdoutCapture capture;
    handler.SpawnMPIProcess(jobId);
    handler.WaitHPCJob();
    const std::string printed = capture.Stop();
    ASSERT_GT(jobId, 0) << printed;
    EXPECT_EQ(handler.m_iHPCJobState, ZEP_JOB_FAILED) << printed;
    EXPECT_EQ(handler.m_sHPCJobState, "FAILED") << printed;
}

// ---- Task mode 0: the launcher on this machine ------------------------------------------------------

TEST(WholeRunOnThisMachine, LauncherGetsTheArgumentsInTheRunFolderAndStaysTheCallersChild) {
    // Blanks in the installation and project folders: the solver path and the launcher's working-folder
    // option must each stay one argument.
    ScopedTempDir temp;
    const std::string install = temp.path() + "/My Install/";
    const std::string project = temp.path() + "/My Proj";
    const std::string runPath = project + "/Analysis/Run01";
    const std::string record = temp.path() + "/launcher";
    fs::create_directories(runPath);
    fs::create_directories(install + "Bin/IntelMPI");
    WriteScript(install + "Bin/IntelMPI/impiexec.exe",
                "#!/bin/sh\nprintf '%s\\n' \"$@\" > " + Quote(record + ".args") + "\npwd -P > " +
                    Quote(record + ".cwd") + "\necho \"launcher: $# arguments\"\necho $$ > " +
                    Quote(record + ".tmp") + " && mv " + Quote(record + ".tmp") + " " +
                    Quote(record + ".pid") + "\nexit 3\n");
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

    ASSERT_TRUE(zep::testing::WaitUntil([&] { return FileExists(record + ".pid"); }, 10000))
        << "the launcher did not start";
    const pid_t pid = static_cast<pid_t>(std::stol(ReadFile(record + ".pid")));
    int waitStatus = 0;
    ASSERT_EQ(waitpid(pid, &waitStatus, 0), pid) << "the launcher is the caller's child";
    ASSERT_TRUE(WIFEXITED(waitStatus));
    EXPECT_EQ(WEXITSTATUS(waitStatus), 3);

    EXPECT_THAT(Lines(ReadFile(record + ".args")),
                ElementsAre("-wdir", runPath, "-localonly", "-np", "3", install + "\\Bin\\solver.exe",
                            "C:\\App\\*D:\\Work\\P*", "-batch", "two words"));
    EXPECT_EQ(ReadFile(record + ".cwd"), fs::canonical(runPath).string() + "\n");
    const std::vector<std::string> consoles = FilesStartingWith(runPath, "console_redirect_");
    ASSERT_EQ(consoles.size(), 1u);
    EXPECT_EQ(ReadFile(runPath + "/" + consoles[0]), "launcher: 9 arguments\n");
}

}  // namespace
