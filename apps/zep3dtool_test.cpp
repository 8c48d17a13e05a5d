// The built zep3dtool program on real files: every subcommand's help, wrong usage, missing and bad
// files, wrong keys, and the example run through the real launcher script and MPICH.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using zep::testing::ReadFile;
using zep::testing::ScopedTempDir;
using zep::testing::WriteFile;

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// Runs a program through the shell with the given standard input, in `folder`; standard output and
// error are taken apart.
Result RunProgram(const std::string& folder, const std::vector<std::string>& argv,
                  const std::string& input = "") {
    WriteFile(folder + "/.stdin", input);
    std::string command = "cd " + Quote(folder) + " &&";
    for (const std::string& arg : argv) command += " " + Quote(arg);
    command += " <.stdin >.stdout 2>.stderr";
    int status = std::system(command.c_str());
    Result result;
    // A wait status: the exit code in the second byte when no signal ended the shell.
    result.code = (status & 0x7f) == 0 ? (status >> 8) & 0xff : -1;
    result.out = ReadFile(folder + "/.stdout");
    result.err = ReadFile(folder + "/.stderr");
    return result;
}

class Zep3dtool : public ::testing::Test {
  protected:
    Result Tool(const std::vector<std::string>& args, const std::string& input = "") {
        std::vector<std::string> argv = {ZEP3DTOOL_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(dir_.path(), argv, input);
    }

    // A project with one run whose task-manager file has the given text.
    std::string Project(const std::string& cmx, const std::string& name = "proj") {
        std::string project = dir_.File(name);
        fs::create_directories(project + "/Analysis/Run01");
        WriteFile(project + "/Analysis/Run01/Demo01.cmx", cmx);
        return project;
    }

    // An installation folder with an empty "Bin".
    std::string Install() {
        std::string install = dir_.File("install");
        fs::create_directories(install + "/Bin");
        return install;
    }

    static bool OneLine(const std::string& text) {
        return !text.empty() && text.back() == '\n' && text.find('\n') == text.size() - 1;
    }

    ScopedTempDir dir_;
};

// ---- Help and usage ---------------------------------------------------------------------------------

TEST_F(Zep3dtool, EveryCommandHasHelpOnStandardOutput) {
    const std::vector<std::vector<std::string>> helps = {{"--help"},
                                                         {"run", "--help"},
                                                         {"check", "--help"},
                                                         {"account", "--help"},
                                                         {"account", "set", "--help"},
                                                         {"account", "show", "--help"},
                                                         {"encrypt", "--help"},
                                                         {"decrypt", "--help"},
                                                         {"arrows", "--help"},
                                                         // Help wins over wrong options.
                                                         {"run", "--bogus", "--help"}};
    for (const auto& args : helps) {
        Result r = Tool(args);
        EXPECT_EQ(r.code, 0) << args[0];
        EXPECT_THAT(r.out, StartsWith("usage: zep3dtool")) << args[0];
        EXPECT_EQ(r.err, "") << args[0];
    }
    EXPECT_THAT(Tool({"run", "--help"}).out, HasSubstr("  --no-path-mapping"));
    EXPECT_THAT(Tool({"encrypt", "--help"}).out, HasSubstr("  --key-hex HEX"));
}

TEST_F(Zep3dtool, WrongUsageIsOneLineOnStandardErrorAndExitCode2) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "zep3dtool: no command given (see 'zep3dtool --help')\n"},
        {{"frobnicate"}, "zep3dtool: unknown command 'frobnicate' (see 'zep3dtool --help')\n"},
        {{"run", "--bogus"}, "zep3dtool run: unknown option '--bogus' (see 'zep3dtool run --help')\n"},
        {{"run", "--project", "p", "--base", "b", "--run-id", "01", "--solver", "s"},
         "zep3dtool run: option '--install' is required (see 'zep3dtool run --help')\n"},
        {{"run", "--install", "i", "--project", "p", "--base", "b", "--run-id", "01", "--solver", ""},
         "zep3dtool run: option '--solver' must not be empty (see 'zep3dtool run --help')\n"},
        {{"check", "--project", "p", "--base", "b", "--run-id", "01", "--trace", "x"},
         "zep3dtool check: the trace level must be a number from 0 to 9, not 'x' (see 'zep3dtool check "
         "--help')\n"},
        {{"check", "--project", "p", "--base", "b", "--run-id"},
         "zep3dtool check: option '--run-id' needs a value (ID) (see 'zep3dtool check --help')\n"},
        {{"account"}, "zep3dtool account: expected 'set' or 'show' (see 'zep3dtool account --help')\n"},
        {{"account", "list"}, "zep3dtool account: unknown action 'list' (see 'zep3dtool account --help')\n"},
        {{"account", "set", "--install", "i", "--user", "a\nb"},
         "zep3dtool account set: the user name must have 1 to 511 characters and no line end (see 'zep3dtool "
         "account set --help')\n"},
        {{"encrypt", "--key", "k", "in"},
         "zep3dtool encrypt: expected 2 file arguments, got 1 (see 'zep3dtool encrypt --help')\n"},
        {{"encrypt", "--method", "des", "--key", "k", "a", "b"},
         "zep3dtool encrypt: unknown method 'des' (rijndael, blowfish or tea) (see 'zep3dtool encrypt "
         "--help')\n"},
        {{"encrypt", "a", "b"},
         "zep3dtool encrypt: give the key with one of --key, --key-hex, --key-file or --key-stdin (see "
         "'zep3dtool encrypt --help')\n"},
        {{"encrypt", "--key", "k", "--key-hex", "00", "a", "b"},
         "zep3dtool encrypt: give the key with one of --key, --key-hex, --key-file or --key-stdin (see "
         "'zep3dtool encrypt --help')\n"},
        {{"decrypt", "--method", "blowfish", "--block-size", "16", "--key", "k", "a", "b"},
         "zep3dtool decrypt: block size '16' is not one of blowfish's (8) (see 'zep3dtool decrypt "
         "--help')\n"},
        {{"encrypt", "--key-length", "20", "--key", "k", "a", "b"},
         "zep3dtool encrypt: key length '20' is not one of rijndael's (16, 24, 32) (see 'zep3dtool encrypt "
         "--help')\n"},
        {{"encrypt", "--key", "seventeen-letters", "a", "b"},
         "zep3dtool encrypt: the key must have 1 to 16 bytes, not 17 (see 'zep3dtool encrypt --help')\n"},
        {{"encrypt", "--key-hex", "0g", "a", "b"},
         "zep3dtool encrypt: --key-hex needs an even number of hexadecimal digits (see 'zep3dtool encrypt "
         "--help')\n"},
        {{"arrows", "--ratio", "0", "a.csv", "b.stl"},
         "zep3dtool arrows: the ratio must be a number above 0, not '0' (see 'zep3dtool arrows --help')\n"},
    };
    for (const auto& c : cases) {
        Result r = Tool(c.first);
        EXPECT_EQ(r.code, 2) << c.second;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.second);
    }
}

// ---- check ------------------------------------------------------------------------------------------

TEST_F(Zep3dtool, CheckShowsTheExampleProjectAndWritesNothing) {
    std::string project = dir_.File("project");
    fs::copy(ZEP3D_EXAMPLES_DIR "/project", project, fs::copy_options::recursive);
    Result r = Tool({"check", "--install", "/opt/zep", "--project", project, "--base", "Demo", "--run-id",
                     "01", "--solver", "zep3dsolver"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string run = project + "/Analysis/Run01";
    EXPECT_EQ(r.out, "Task-manager file     " + run + "/Demo01.cmx\n" +
                         "Status                1 (parallel run on one machine)\n"
                         "Task mode             0 (MPI processes on this machine)\n"
                         "Tasks                 4\n"
                         "Console redirection   off\n"
                         "Run folder            " +
                         run + "\nPartition file        " + run + "/Demo01.ppp\nLauncher file         " +
                         run +
                         "/Demo01.pwf\nLauncher              /opt/zep/Bin\\IntelMPI\\impiexec.exe\n"
                         "Solver                /opt/zep/\\Bin\\zep3dsolver\n");
    EXPECT_EQ(r.err, "");
    EXPECT_FALSE(fs::exists(run + "/Demo01.ppp"));
    EXPECT_FALSE(fs::exists(run + "/Demo01.pwf"));
}

TEST_F(Zep3dtool, CheckShowsTheMachinesWithTheirTasksAndWeights) {
    std::string project = Project(
        "<TASKMANAGER>\r\nIDTaskMode=1\r\nValueNoTask=6\r\n</"
        "TASKMANAGER>\r\n<REMOTE_MACHINES>\r\nVersion=1003\r\n"
        "ValueNoMachine=2\r\nValueMap=Z:\r\nValueShareFolderName=Work\r\nValueLocalHost=PC01\r\n"
        "ValueParallelWorkingFolder=D:\\Work\r\nValueSharedTarvik3DName=App\r\nValueMinPort=20000\r\n"
        "ValueMachineSetting\r\n1=PC01 4 "
        "C:\\App\\\r\n2=PC02\t2\tC:\\App\\\r\nValueMachineWeighting\r\n1=1.0\r\n"
        "2=0.5\r\n</REMOTE_MACHINES>\r\n");
    Result r = Tool({"check", "--project", project, "--base", "Demo", "--run-id", "01"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Status                2 (parallel run over several machines)\n"
                                 "Task mode             1 (MPI processes on several Windows machines)\n"
                                 "Tasks                 6\n"));
    EXPECT_THAT(r.out, HasSubstr("Local host            PC01\n"
                                 "Shared project disk   Work (mapped as Z:)\n"
                                 "Working folder        D:\\Work\n"
                                 "Shared installation   App\n"
                                 "Ports                 20000-11000\n"
                                 "Machines              2\n"
                                 "  #  Host  Tasks  Weight  Installation folder\n"
                                 "  1  PC01      4       1  C:\\App\\\n"
                                 "  2  PC02      2     0.5  C:\\App\\\n"));
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("Launcher  ")));
}

TEST_F(Zep3dtool, CheckAnswersBadTaskManagerFilesWithTheStatusAndOneLine) {
    Result missing = Tool({"check", "--project", dir_.File("nowhere"), "--base", "Demo", "--run-id", "01"});
    EXPECT_EQ(missing.code, 1);
    std::string cmx = dir_.File("nowhere") + "/Analysis/Run01/Demo01.cmx";
    EXPECT_EQ(missing.out,
              "Status: -3301 (the task-manager file cannot be opened)\n"
              "Error! Cannot find the following cmx file:\n" +
                  cmx + "\nPlease check this and then rerun the analysis again\n");
    EXPECT_EQ(missing.err,
              "zep3dtool check: status -3301: the task-manager file cannot be opened (" + cmx + ")\n");

    std::string old = Project(
        "<TASKMANAGER>\nIDTaskMode=1\nValueNoTask=2\n</TASKMANAGER>\n<REMOTE_MACHINES>\n"
        "Version=1002\n</REMOTE_MACHINES>\n",
        "old");
    Result r = Tool({"check", "--project", old, "--base", "Demo", "--run-id", "01"});
    EXPECT_EQ(r.code, 1);
    EXPECT_THAT(r.out, HasSubstr("Your .cmx file version (1002) is out-of-dated.\n"));
    EXPECT_EQ(r.err, "zep3dtool check: status -3302: the task-manager file's version is too old\n");

    std::string mode = Project("<TASKMANAGER>\nIDTaskMode=5\nValueNoTask=4\n</TASKMANAGER>\n", "mode");
    r = Tool({"check", "--project", mode, "--base", "Demo", "--run-id", "01"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zep3dtool check: status -3307: the task mode is unknown\n");
}

// ---- run --------------------------------------------------------------------------------------------

TEST_F(Zep3dtool, RunRefusesWhatCannotBeSetUpAndStartsNothing) {
    std::string install = Install();
    Result r = Tool({"run", "--install", dir_.File("noinstall"), "--project", dir_.path(), "--base", "Demo",
                     "--run-id", "01", "--solver", "s"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "zep3dtool run: the installation folder " + dir_.File("noinstall") + "/ does not exist\n");

    r = Tool({"run", "--install", install, "--project", dir_.path(), "--base", "Demo", "--run-id", "01",
              "--solver", "s"});
    EXPECT_EQ(r.code, 1);
    EXPECT_THAT(r.out,
                StartsWith("Status: -3301 (the task-manager file cannot be opened)\nError! Cannot find"));
    EXPECT_EQ(r.err,
              "zep3dtool run: set-up failed with status -3301: the task-manager file cannot be opened (" +
                  dir_.path() + "/Analysis/Run01/Demo01.cmx)\n");

    // A multi-machine run whose project is not under the working folder: the files are written as far as
    // they go, but nothing is launched from them.
    std::string project = Project(
        "<TASKMANAGER>\nIDTaskMode=1\nValueNoTask=1\n</TASKMANAGER>\n<REMOTE_MACHINES>\nVersion=1003\n"
        "ValueNoMachine=1\nValueLocalHost=localhost\nValueParallelWorkingFolder=/"
        "elsewhere\nValueMachineSetting\n"
        "1=localhost 1 /opt/zep/\nValueMachineWeighting\n1=1\n</REMOTE_MACHINES>\n");
    r = Tool({"run", "--install", install, "--project", project, "--base", "Demo", "--run-id", "01",
              "--solver", "s"});
    EXPECT_EQ(r.code, 1);
    EXPECT_THAT(r.out,
                StartsWith("Status: -3306 (the project path is not under the parallel working folder)\n"));
    EXPECT_EQ(r.err,
              "zep3dtool run: set-up failed with status -3306: the project path is not under the parallel "
              "working folder\n");
}

TEST_F(Zep3dtool, RunWithoutALauncherOrWithAFailingOneExitsWith3) {
    std::string install = Install();
    std::string project = Project("<TASKMANAGER>\r\nIDTaskMode=0\r\nValueNoTask=2\r\n</TASKMANAGER>\r\n");
    std::vector<std::string> args = {"run",  "--install", install, "--project", project,      "--base",
                                     "Demo", "--run-id",  "01",    "--solver",  "zep3dsolver"};
    Result r = Tool(args);
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(r.out, "Status: 1 (parallel run on one machine)\nLaunched processes: none\n");
    EXPECT_THAT(r.err, HasSubstr("Cannot start \"" + install + "/Bin/IntelMPI/impiexec.exe\""));
    EXPECT_THAT(
        r.err, HasSubstr("zep3dtool run: the run was not started: no launcher process and no cluster job\n"));

    // A launcher that ends with exit code 5, with what the library hands it.
    fs::create_directories(install + "/Bin/IntelMPI");
    WriteFile(install + "/Bin/IntelMPI/impiexec.exe", "#!/bin/sh\necho \"launcher: $*\"\nexit 5\n");
    fs::permissions(install + "/Bin/IntelMPI/impiexec.exe", fs::perms::owner_all);
    r = Tool(args);
    EXPECT_EQ(r.code, 3);
    std::string run = project + "/Analysis/Run01";
    EXPECT_EQ(r.out, "launcher: -wdir " + run + " -localonly -np 2 " + install + "/\\Bin\\zep3dsolver " +
                         install + "/*" + run +
                         "* Demo01\nStatus: 1 (parallel run on one machine)\n"
                         "Launched processes: 1, 1 failed (exit code 5)\n");
    EXPECT_EQ(r.err, "zep3dtool run: the launched processes failed (exit code 5)\n");
    EXPECT_EQ(ReadFile(run + "/Demo01.ppp"), "#NPartition\n2\n#ParallelMode_IS_SMP\n");
}

TEST_F(Zep3dtool, ARunOnAStorageNodeThatCannotBeReachedExitsWith3) {
    // Nothing listens on the SSH port of 127.0.0.1 here: every remote step is refused at once.
    std::string project = Project(
        "<TASKMANAGER>\nIDTaskMode=11\nValueNoTask=1\n</TASKMANAGER>\n<REMOTE_MACHINES>\nVersion=1003\n"
        "ValueNoMachine=1\nValueLocalHost=localhost\nValueParallelWorkingFolder=/w\n"
        "ValueSharedTarvik3DName=/opt/T/\nValueMachineSetting\n1=127.0.0.1 1 /opt/T/\n"
        "ValueMachineWeighting\n1=1\n</REMOTE_MACHINES>\n");
    Result r = Tool({"run", "--install", Install(), "--project", project, "--base", "Demo", "--run-id", "01",
                     "--solver", "s"});
    EXPECT_EQ(r.code, 3) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr("Status: 2 (parallel run over several machines)\n"));
    const std::string line = "zep3dtool run: the run on the storage node 127.0.0.1 failed over SSH (code -";
    ASSERT_GE(r.err.size(), line.size());
    EXPECT_EQ(r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1, line.size()), line) << r.err;
}

TEST_F(Zep3dtool, TheDemoRunsFourMpiProcessesThatReadTheirPartitionFile) {
    if (!ZEP3D_HAVE_EXAMPLE_SOLVER) {
        if (std::getenv("ZEP3D_REQUIRE_SERVERS") != nullptr) FAIL() << "MPICH is not installed";
        GTEST_SKIP() << "MPICH is not installed (Debian: mpich libmpich-dev)";
    }
    Result r = RunProgram(dir_.path(), {ZEP3D_EXAMPLES_DIR "/demo.sh", ZEP3DTOOL_PATH, ZEP3D_EXAMPLE_INSTALL,
                                        dir_.File("work")});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    const std::string smp =
        ", 4 partitions, weight 0.25 (equal share: a single-machine partition file has no weights)\n";
    EXPECT_EQ(r.out, "$ zep3dtool run --install " ZEP3D_EXAMPLE_INSTALL " --project " + dir_.File("work") +
                         "/project --base Demo --run-id 01 --solver zep3dsolver\n"
                         "rank 0 of 4: Demo01.ppp" +
                         smp + "rank 1 of 4: Demo01.ppp" + smp + "rank 2 of 4: Demo01.ppp" + smp +
                         "rank 3 of 4: Demo01.ppp" + smp +
                         "4 processes read the partition file; their weights add up to 1\n"
                         "Status: 1 (parallel run on one machine)\n"
                         "Launched processes: 1, ended with exit code 0\n");
    EXPECT_EQ(r.err, "");
    // The run happened in the copy; the example project in the sources has only its task-manager file.
    EXPECT_TRUE(fs::exists(dir_.File("work") + "/project/Analysis/Run01/Demo01.ppp"));
    EXPECT_FALSE(fs::exists(ZEP3D_EXAMPLES_DIR "/project/Analysis/Run01/Demo01.ppp"));
}

TEST_F(Zep3dtool, AMultiMachineRunGoesThroughTheLauncherFile) {
    if (!ZEP3D_HAVE_EXAMPLE_SOLVER) GTEST_SKIP() << "MPICH is not installed (Debian: mpich libmpich-dev)";
    // Two "machines" that are both this one; the launcher file form, with weights per task.
    std::string project = Project(
        "<TASKMANAGER>\nIDTaskMode=1\nValueNoTask=3\n</TASKMANAGER>\n<REMOTE_MACHINES>\nVersion=1003\n"
        "ValueNoMachine=2\nValueLocalHost=localhost\nValueShareFolderName=Share\nValueSharedTarvik3DName="
        "install\n"
        "ValueParallelWorkingFolder=" +
        dir_.path() +
        "\nValueMachineSetting\n1=localhost 2 " ZEP3D_EXAMPLE_INSTALL
        "/\n2=localhost 1 " ZEP3D_EXAMPLE_INSTALL
        "/\nValueMachineWeighting\n1=0.5\n2=0.5\n</REMOTE_MACHINES>\n");
    Result r = Tool({"run", "--install", ZEP3D_EXAMPLE_INSTALL, "--project", project, "--base", "Demo",
                     "--run-id", "01", "--solver", "zep3dsolver"});
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_EQ(
        r.out,
        "rank 0 of 3: Demo01.ppp, 3 partitions, weight 0.25\nrank 1 of 3: Demo01.ppp, 3 partitions, weight "
        "0.25\n"
        "rank 2 of 3: Demo01.ppp, 3 partitions, weight 0.5\n"
        "3 processes read the partition file; their weights add up to 1\n"
        "Status: 2 (parallel run over several machines)\nLaunched processes: 1, ended with exit code 0\n");
    EXPECT_THAT(ReadFile(project + "/Analysis/Run01/Demo01.pwf"),
                HasSubstr(" -noprompt -hosts 2 localhost 2 "));
}

// ---- account ----------------------------------------------------------------------------------------

TEST_F(Zep3dtool, AccountSetWritesWhatTheLibraryReadsBack) {
    std::string install = Install();
    // The file is private from the start, also under a umask that would take its write bit away.
    const mode_t saved = umask(0277);
    Result r =
        Tool({"account", "set", "--install", install, "--user", "alice", "--password-stdin"}, "s3cret pw\n");
    umask(saved);
    ASSERT_EQ(r.code, 0) << r.err;
    std::string file = install + "/Bin/acc.ini";
    EXPECT_EQ(r.out, "Wrote " + file + " for user alice\n");
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    std::string text = ReadFile(file);
    EXPECT_THAT(text, StartsWith("[ACCSecurity]\r\nUserName=alice\r\nPassword="));
    EXPECT_THAT(text, ::testing::Not(HasSubstr("s3cret")));

    r = Tool({"account", "show", "--install", install});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "Account file  " + file +
                         "\nUser name     alice\nStatus        1000 (the account can be read)\n");
    EXPECT_EQ(r.err, "");

    // Nothing is replaced unless asked; a wrong new password changes nothing either.
    r = Tool({"account", "set", "--install", install, "--user", "bob", "--password-stdin"}, "x\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zep3dtool account set: " + file + " exists; give --force to replace it\n");
    r = Tool({"account", "set", "--install", install, "--user", "bob", "--password-stdin", "--force"},
             std::string(129, 'p') + "\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "zep3dtool account set: the password is longer than 128 bytes, more than the account file can "
              "hold\n");
    EXPECT_EQ(ReadFile(file), text);
    r = Tool({"account", "set", "--install", install, "--user", "bob", "--password-stdin", "--force"},
             std::string(128, 'p') + "\r\n");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(Tool({"account", "show", "--install", install}).out, HasSubstr("User name     bob\n"));
    // No file of the way is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(install + "/Bin"), fs::directory_iterator()), 1);
}

TEST_F(Zep3dtool, AccountAnswersMissingAndBadFilesWithOneLine) {
    std::string install = Install();
    std::string file = install + "/Bin/acc.ini";
    Result r = Tool({"account", "show", "--install", install});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "Account file  " + file + "\nStatus        1004 (the account file does not exist)\n");
    EXPECT_EQ(r.err, "zep3dtool account show: the account of " + file +
                         " cannot be read: the account file does not exist (status 1004)\n");

    WriteFile(file, "[ACCSecurity]\r\nUserName=alice\r\nPassword=0123\r\n");
    r = Tool({"account", "show", "--install", install});
    EXPECT_EQ(r.code, 1);
    EXPECT_THAT(r.out, HasSubstr("Status        1010 (the user name or the password is empty)\n"));
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("alice")));

    r = Tool({"account", "set", "--install", dir_.File("none"), "--user", "a", "--password-stdin"}, "p\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zep3dtool account set: " + dir_.File("none") +
                         "/Bin is not a folder: " + dir_.File("none") + " is not an installation\n");
    r = Tool({"account", "set", "--install", install, "--user", "a", "--password-stdin", "--force"}, "\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zep3dtool account set: the password is empty\n");
    r = Tool({"account", "set", "--install", install, "--user", "a", "--force"}, "p\n");
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(
        r.err,
        "zep3dtool account set: standard input is not a terminal: give the password on standard input with "
        "--password-stdin\n");
    EXPECT_EQ(ReadFile(file), "[ACCSecurity]\r\nUserName=alice\r\nPassword=0123\r\n");
}

// ---- encrypt / decrypt ------------------------------------------------------------------------------

std::string Bytes(size_t n) {
    std::string data(n, '\0');
    for (size_t i = 0; i < n; ++i) data[i] = static_cast<char>((i * 131 + 7) % 251);
    return data;
}

TEST_F(Zep3dtool, EncryptAndDecryptRoundTripWithEveryMethod) {
    const std::string plain = Bytes(1000);
    WriteFile(dir_.File("plain.bin"), plain);
    struct Case {
        std::vector<std::string> settings;
        size_t block;
        char pad;
        const char* summary;
    } cases[] = {
        {{"--key", "secret"}, 16, '\0', "rijndael, cbc, zeroes padding, key length 16, block size 16"},
        {{"--method", "rijndael", "--mode", "ecb", "--key-length", "32", "--block-size", "24", "--padding",
          "blanks", "--key", "k"},
         24,
         ' ',
         "rijndael, ecb, blanks padding, key length 32, block size 24"},
        {{"--method", "blowfish", "--mode", "cfb", "--key", "a much longer blowfish key"},
         8,
         '\0',
         "blowfish, cfb, zeroes padding, key length 56, block size 8"},
        {{"--method", "tea", "--padding", "padcount", "--key-hex", "00112233445566778899aabbccddeeff"},
         8,
         0,
         "tea, cbc, padcount padding, key length 16, block size 8"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"encrypt"};
        args.insert(args.end(), c.settings.begin(), c.settings.end());
        std::vector<std::string> back = args;
        back[0] = "decrypt";
        args.insert(args.end(), {"plain.bin", "cipher.bin", "--force"});
        Result r = Tool(args);
        ASSERT_EQ(r.code, 0) << r.err;
        size_t padded = (plain.size() + c.block - 1) / c.block * c.block;
        EXPECT_EQ(r.out, "Encrypted plain.bin (1000 bytes) into cipher.bin (" + std::to_string(32 + padded) +
                             " bytes): " + c.summary + "\n");
        EXPECT_EQ(ReadFile(dir_.File("cipher.bin")).size(), 32 + padded);
        EXPECT_EQ(ReadFile(dir_.File("cipher.bin")).find(plain.substr(0, 64)), std::string::npos);

        back.insert(back.end(), {"cipher.bin", "back.bin", "--force"});
        r = Tool(back);
        ASSERT_EQ(r.code, 0) << r.err;
        char pad = c.pad == 0 && c.summary[0] == 't' ? static_cast<char>(padded - plain.size()) : c.pad;
        EXPECT_EQ(ReadFile(dir_.File("back.bin")), plain + std::string(padded - plain.size(), pad))
            << c.summary;
    }
    // A short key leaves the settings out of the file's fingerprint: said on standard error.
    Result shortKey = Tool({"encrypt", "--key", "secret", "plain.bin", "short.bin"});
    EXPECT_EQ(shortKey.code, 0);
    EXPECT_THAT(
        shortKey.err,
        StartsWith("zep3dtool encrypt: note: a key shorter than 16 bytes, or with a zero byte, leaves"));
    EXPECT_EQ(Tool({"encrypt", "--key", "sixteen letters!", "plain.bin", "full.bin"}).err, "");
    EXPECT_THAT(
        Tool({"encrypt", "--key-hex", "00112233445566778899AABBCCDDEEFF", "plain.bin", "zero.bin"}).err,
        HasSubstr("note: a key shorter than 16 bytes"));
    // A hexadecimal key is the same key as the text of its bytes, in either letter case.
    ASSERT_EQ(Tool({"encrypt", "--key", "kz}", "plain.bin", "text.bin"}).code, 0);
    ASSERT_EQ(Tool({"encrypt", "--key-hex", "6b7a7d", "plain.bin", "hex.bin"}).code, 0);
    ASSERT_EQ(Tool({"encrypt", "--key-hex", "6B7A7D", "plain.bin", "HEX.bin"}).code, 0);
    EXPECT_EQ(ReadFile(dir_.File("text.bin")), ReadFile(dir_.File("hex.bin")));
    EXPECT_EQ(ReadFile(dir_.File("text.bin")), ReadFile(dir_.File("HEX.bin")));
}

// A key from a file or standard input is the key of its first line; deciphered data is private from
// the start, whatever the umask.
TEST_F(Zep3dtool, KeysFromAFileOrStandardInputAndPrivateDecryptOutput) {
    WriteFile(dir_.File("plain.bin"), Bytes(100));
    ASSERT_EQ(Tool({"encrypt", "--key", "right key 16 chr", "plain.bin", "cipher.bin"}).code, 0);
    WriteFile(dir_.File("key.txt"), "right key 16 chr\r\nsecond line\n");
    const mode_t saved = umask(0);
    Result fromFile = Tool({"decrypt", "--key-file", "key.txt", "cipher.bin", "a.bin"});
    Result fromStdin = Tool({"decrypt", "--key-stdin", "cipher.bin", "b.bin"}, "right key 16 chr\n");
    umask(saved);
    ASSERT_EQ(fromFile.code, 0) << fromFile.err;
    ASSERT_EQ(fromStdin.code, 0) << fromStdin.err;
    for (const char* name : {"a.bin", "b.bin"}) {
        EXPECT_EQ(ReadFile(dir_.File(name)), Bytes(100) + std::string(12, '\0'));
        EXPECT_EQ(fs::status(dir_.File(name)).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_EQ(Tool({"encrypt", "--key-stdin", "plain.bin", "c.bin"}, "right key 16 chr").code, 0);
    EXPECT_EQ(ReadFile(dir_.File("c.bin")), ReadFile(dir_.File("cipher.bin")));

    const struct {
        std::vector<std::string> args;
        std::string input;
        std::string err;
    } refused[] = {
        {{"decrypt", "--key-file", "none.txt", "cipher.bin", "x.bin"},
         "",
         "zep3dtool decrypt: cannot read the key file none.txt: No such file or directory\n"},
        {{"decrypt", "--key-stdin", "cipher.bin", "x.bin"},
         "",
         "zep3dtool decrypt: no key on standard input\n"},
        {{"decrypt", "--key-stdin", "cipher.bin", "x.bin"},
         std::string("ab\0cd\n", 6),
         "zep3dtool decrypt: the key holds a zero byte (see 'zep3dtool decrypt --help')\n"},
        {{"decrypt", "--key-stdin", "--key-file", "key.txt", "cipher.bin", "x.bin"},
         "",
         "zep3dtool decrypt: give the key with one of --key, --key-hex, --key-file or --key-stdin (see "
         "'zep3dtool decrypt --help')\n"},
    };
    for (const auto& r : refused) {
        Result result = Tool(r.args, r.input);
        EXPECT_EQ(result.code, r.err.find("(see") == std::string::npos ? 1 : 2);
        EXPECT_EQ(result.err, r.err);
    }
    EXPECT_FALSE(fs::exists(dir_.File("x.bin")));
}

TEST_F(Zep3dtool, CryptRefusesWrongKeysBadFilesAndExistingOutputs) {
    WriteFile(dir_.File("plain.bin"), Bytes(100));
    ASSERT_EQ(Tool({"encrypt", "--key", "right key 16 chr", "plain.bin", "cipher.bin"}).code, 0);
    WriteFile(dir_.File("keep.bin"), "keep me");
    WriteFile(dir_.File("big.bin"), Bytes(5000));
    ASSERT_EQ(Tool({"encrypt", "--key", "right key 16 chr", "big.bin", "big.enc"}).code, 0);

    // A wrong key, or other settings, leaves an existing output as it was.
    for (const std::vector<std::string>& settings : {std::vector<std::string>{"--key", "wrong key 16 chr"},
                                                     {"--key", "right key 16 chr", "--mode", "ecb"},
                                                     {"--key", "right key 16 chr", "--padding", "blanks"},
                                                     {"--key", "right key 16 chr", "--method", "tea"}}) {
        std::vector<std::string> args = {"decrypt"};
        args.insert(args.end(), settings.begin(), settings.end());
        args.insert(args.end(), {"cipher.bin", "keep.bin", "--force"});
        Result r = Tool(args);
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err,
                  "zep3dtool decrypt: wrong key or settings for cipher.bin (method, mode, padding, key, key "
                  "length and block size must be those it was encrypted with)\n");
        EXPECT_EQ(ReadFile(dir_.File("keep.bin")), "keep me");
    }

    struct Case {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"encrypt", "--key", "k", "missing.bin", "out.bin"},
         "zep3dtool encrypt: cannot read missing.bin: no such file\n"},
        {{"encrypt", "--key", "k", "plain.bin", "keep.bin"},
         "zep3dtool encrypt: keep.bin exists; give --force to replace it\n"},
        {{"encrypt", "--key", "k", "plain.bin", "./plain.bin", "--force"},
         "zep3dtool encrypt: the input and the output are the same file\n"},
        {{"encrypt", "--key", "k", ".", "out.bin"}, "zep3dtool encrypt: cannot read .: it is a folder\n"},
        {{"decrypt", "--key", "k", "plain.bin", "out.bin"},
         "zep3dtool decrypt: plain.bin is not an encrypted file with 16-byte blocks: its length does not "
         "fit\n"},
    };
    for (const Case& c : cases) {
        Result r = Tool(c.args);
        EXPECT_EQ(r.code, 1) << c.err;
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(ReadFile(dir_.File("keep.bin")), "keep me");
    EXPECT_FALSE(fs::exists(dir_.File("out.bin")));

    // An output that cannot be written whole (a file-size limit of 1024 bytes, with the signal that
    // would end the program ignored) is reported, and the old file stays.
    for (const char* command : {"encrypt", "decrypt"}) {
        Result r = RunProgram(dir_.path(), {"sh", "-c", "ulimit -f 1 && trap '' XFSZ && exec \"$0\" \"$@\"",
                                            ZEP3DTOOL_PATH, command, "--force", "--key", "right key 16 chr",
                                            command[0] == 'e' ? "big.bin" : "big.enc", "keep.bin"});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(r.err, "zep3dtool " + std::string(command) + ": cannot write keep.bin: File too large\n");
        EXPECT_EQ(ReadFile(dir_.File("keep.bin")), "keep me");
    }
    // Nothing of the way is left behind.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".stderr", ".stdin", ".stdout", "big.bin", "big.enc",
                                               "cipher.bin", "keep.bin", "plain.bin"}));
}

TEST_F(Zep3dtool, ProgressBarShowsThroughputOnStandardErrorWhenAsked) {
    WriteFile(dir_.File("big.bin"), Bytes(3 << 20));
    Result r = Tool({"encrypt", "--progress", "--key", "sixteen letters!", "big.bin", "big.enc"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(r.out, StartsWith("Encrypted big.bin (3145728 bytes)"));
    // The last drawing of the line: complete, with the amounts and a throughput.
    std::string last = r.err.substr(r.err.rfind('\r') + 1);
    EXPECT_THAT(last, ::testing::MatchesRegex(
                          "encrypt \\[#{30}\\] 100%  3\\.00 MiB of 3\\.00 MiB  [0-9.]+ [KMG]?i?B/s\n"));
    // Not a terminal and not asked: nothing on standard error.
    r = Tool({"decrypt", "--key", "sixteen letters!", "big.enc", "big.out"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
}

// ---- arrows -----------------------------------------------------------------------------------------

TEST_F(Zep3dtool, ArrowsWritesOneFacetPerVector) {
    WriteFile(dir_.File("v.csv"), "x1,y1,z1,x2,y2,z2\n0,0,0,1,0,0\n1,1,1,1,1,1\n0,0,0,0,0,2\n");
    Result r = Tool({"arrows", "v.csv", "v.stl"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Wrote 2 arrows to v.stl (base ratio 0.05); left out 1 vector of length 0\n");
    const char* facet1 =
        "  facet normal  0 0 0\n    outer loop\n      vertex  0 0 0\n      vertex  1 0 0\n      vertex  0 "
        "-0.05 0\n"
        "    endloop\n  endfacet\n";
    EXPECT_EQ(ReadFile(dir_.File("v.stl")),
              std::string("solid\n") + facet1 +
                  "  facet normal  0 0 0\n    outer loop\n      vertex  0 0 0\n"
                  "      vertex  0 0 2\n      vertex  0.1 0 0\n    endloop\n  endfacet\n");

    r = Tool({"arrows", "--ratio", "0.2", "--force", "v.csv", "v.stl"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_THAT(ReadFile(dir_.File("v.stl")), HasSubstr("vertex  0 -0.2 0\n"));

    r = Tool({"arrows", "v.csv", "v.stl"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zep3dtool arrows: v.stl exists; give --force to replace it\n");
    WriteFile(dir_.File("bad.csv"), "0,0,0,1,0,0\n0,0,0,1,0\n");
    r = Tool({"arrows", "bad.csv", "bad.stl"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err,
              "zep3dtool arrows: bad.csv: line 2: expected 6 comma-separated numbers (x1,y1,z1,x2,y2,z2), "
              "found 5 fields\n");
    EXPECT_FALSE(fs::exists(dir_.File("bad.stl")));
    r = Tool({"arrows", "none.csv", "x.stl"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zep3dtool arrows: cannot read none.csv: no such file\n");
    r = Tool({"arrows", "v.csv", dir_.File("no/folder/x.stl")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zep3dtool arrows: cannot write " + dir_.File("no/folder/x.stl") +
                         ": No such file or directory\n");
}

TEST_F(Zep3dtool, ArrowsLeavesOutVectorsWithoutAFiniteArrowAndNamesTheirLines) {
    // Squares of these lengths leave the float range, so the base corner of the arrow is not a number.
    WriteFile(dir_.File("v.csv"),
              "0,0,0,1e-30,0,0\n0,0,0,1,0,0\n-3e38,0,0,3e38,0,0\n2,2,2,2,2,2\n0,0,0,0,2e19,0\n");
    Result r = Tool({"arrows", "v.csv", "v.stl"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out,
              "Wrote 1 arrow to v.stl (base ratio 0.05); left out 1 vector of length 0 and 3 vectors too "
              "short or too long for a single-precision arrow (lines 1, 3 and 5)\n");
    EXPECT_EQ(ReadFile(dir_.File("v.stl")).find("nan"), std::string::npos);
}

TEST_F(Zep3dtool, ArrowsThatCannotBeWrittenWholeKeepTheOldFile) {
    std::string csv;
    for (int i = 1; i <= 100; ++i) csv += "0,0,0," + std::to_string(i) + ",1,0\n";
    WriteFile(dir_.File("v.csv"), csv);
    WriteFile(dir_.File("v.stl"), "solid\nthe old arrows\n");
    // A file-size limit of 1024 bytes, with the signal that would end the program ignored.
    Result r = RunProgram(dir_.path(), {"sh", "-c", "ulimit -f 1 && trap '' XFSZ && exec \"$0\" \"$@\"",
                                        ZEP3DTOOL_PATH, "arrows", "--force", "v.csv", "v.stl"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zep3dtool arrows: cannot write v.stl: File too large\n");
    EXPECT_EQ(ReadFile(dir_.File("v.stl")), "solid\nthe old arrows\n");
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_.path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".stderr", ".stdin", ".stdout", "v.csv", "v.stl"}));
}

}  // namespace
