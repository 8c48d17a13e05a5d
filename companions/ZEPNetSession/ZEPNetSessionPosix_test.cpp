// Tests of the session companion on POSIX: a launcher script that records its arguments and working
// folder is started, not waited for, and stays the caller's child.
#include <errno.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "TestUtil.h"
#include "ZEPNetSession.h"

namespace {

using zep::testing::ReadFile;
using zep::testing::ScopedTempDir;
using zep::testing::WriteFile;

// A launcher that records its process id, working folder and arguments and whether it holds descriptor
// 77, writes to its console, and then waits until it is told to end by the file "go" in its working
// folder.
std::string WriteLauncher(const ScopedTempDir& dir) {
    std::string path = dir.File("launcher.sh");
    WriteFile(path, "#!" ZEP_TEST_SHELL
                    "\n"
                    "{ echo \"$$\"; pwd; for a in \"$@\"; do echo \"[$a]\"; done;\n"
                    "  if [ -e /proc/$$/fd/77 ]; then echo fd77 open; else echo fd77 closed; fi; } > \"" +
                        dir.File("record.tmp") +
                        "\"\n"
                        "mv \"" +
                        dir.File("record.tmp") + "\" \"" + dir.File("record.txt") +
                        "\"\n"
                        "echo launcher-out; echo launcher-err >&2\n"
                        "while [ ! -e go ]; do sleep 0.05; done\n"
                        "exit 3\n");
    chmod(path.c_str(), 0755);
    return path;
}

// The record, once the launcher has written it.
std::string AwaitRecord(const ScopedTempDir& dir) {
    for (int i = 0; i < 400 && !zep::testing::FileExists(dir.File("record.txt")); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return ReadFile(dir.File("record.txt"));
}

pid_t RecordedPid(const std::string& record) { return static_cast<pid_t>(std::stol(record)); }

// Lets the launcher end and reaps it; its exit status, or -1 when it was not this process's child.
int FinishChild(const std::string& runFolder, pid_t pid) {
    WriteFile(runFolder + "/go", "");
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ZEPNetSessionPosix, StartsTheLauncherInTheRunFolderWithWindowsSplitArgumentsAndDoesNotWait) {
    ScopedTempDir dir;
    std::string launcher = WriteLauncher(dir);
    std::string run = dir.File("run folder");
    std::filesystem::create_directory(run);

    // A descriptor of the caller's that a long-lived launcher must not keep.
    int held = open("/dev/null", O_RDONLY);
    ASSERT_EQ(dup2(held, 77), 77);
    close(held);

    CZEPNetSession session;
    zep::testing::StdoutCapture capture;
    int rc = session.SpawnMPIProcess(launcher.c_str(),
                                     "-wdir \"C:\\Run Folder\\\\\" -localonly -np 4 \"a\\\"b\" \"\" last", 0,
                                     run.c_str(), true, false);
    ASSERT_EQ(rc, 0);
    std::string record = AwaitRecord(dir);
    ASSERT_FALSE(record.empty());
    pid_t pid = RecordedPid(record);
    // Still running: the call did not wait for it.
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0);
    EXPECT_EQ(
        record.substr(record.find('\n') + 1),
        run + "\n[-wdir]\n[C:\\Run Folder\\]\n[-localonly]\n[-np]\n[4]\n[a\"b]\n[]\n[last]\nfd77 closed\n");
    close(77);
    EXPECT_EQ(FinishChild(run, pid), 3) << "the launcher is the caller's child";
    // Without redirection the console is the caller's.
    EXPECT_EQ(capture.Stop(), "launcher-out\n");
}

TEST(ZEPNetSessionPosix, ConsoleRedirectionWritesTheConsoleToAFileInTheRunFolder) {
    ScopedTempDir dir;
    std::string launcher = WriteLauncher(dir);
    std::string run = dir.File("run");
    std::filesystem::create_directory(run);

    CZEPNetSession session;
    // The library's own form: a run folder built with backslashes.
    std::string built = dir.path() + "\\run";
    ASSERT_EQ(session.SpawnMPIProcess(launcher.c_str(), "-n 2", 1, built.c_str(), false, true), 0);
    std::string record = AwaitRecord(dir);
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(FinishChild(run, RecordedPid(record)), 3);
    EXPECT_THAT(record, ::testing::HasSubstr(run + "\n[-n]\n[2]\n"));

    std::string console;
    for (const auto& entry : std::filesystem::directory_iterator(run)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("console_redirect_", 0) == 0) console = entry.path().string();
    }
    ASSERT_FALSE(console.empty()) << "no console file in the run folder";
    EXPECT_THAT(std::filesystem::path(console).filename().string(),
                ::testing::MatchesRegex(
                    "console_redirect_[0-9]{4}-[0-9]{2}-[0-9]{2}_[0-9]{2}-[0-9]{2}-[0-9]{2}\\.txt"));
    std::string text = ReadFile(console);
    EXPECT_THAT(text, ::testing::HasSubstr("launcher-out\n"));
    EXPECT_THAT(text, ::testing::HasSubstr("launcher-err\n"));
}

TEST(ZEPNetSessionPosix, ARelativeLauncherPathIsTakenFromTheCallersFolder) {
    ScopedTempDir dir;
    WriteLauncher(dir);
    std::string run = dir.File("run");
    std::filesystem::create_directory(run);
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    CZEPNetSession session;
    const int rc = session.SpawnMPIProcess("./launcher.sh", "x", 0, run.c_str(), true, false);
    std::filesystem::current_path(before);
    ASSERT_EQ(rc, 0);
    std::string record = AwaitRecord(dir);
    ASSERT_FALSE(record.empty());
    EXPECT_THAT(record, ::testing::HasSubstr(run + "\n[x]\n"));
    EXPECT_EQ(FinishChild(run, RecordedPid(record)), 3);
}

TEST(ZEPNetSessionPosix, ALauncherThatCannotStartIsReportedAndLeavesNoChild) {
    ScopedTempDir dir;
    CZEPNetSession session;
    std::string missing = dir.File("no-such-launcher");
    EXPECT_EQ(session.SpawnMPIProcess(missing.c_str(), "-n 1", 0, dir.path().c_str(), true, false), ENOENT);
    EXPECT_NE(session.SpawnMPIProcess(nullptr, "", 0, dir.path().c_str(), true, false), 0);
    std::string launcher = WriteLauncher(dir);
    std::string gone = dir.File("missing-folder");
    EXPECT_EQ(session.SpawnMPIProcess(launcher.c_str(), "", 0, gone.c_str(), true, false), ENOENT);
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

}  // namespace
