// Tests of the session companion on POSIX, with a launcher script that records what it was given.
#include <errno.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
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

using ::testing::HasSubstr;
using zep::testing::ReadFile;
using zep::testing::WriteFile;

class ZEPNetSessionPosix : public ::testing::Test {
  protected:
    void SetUp() override {
        WriteFile(launcher_, ReadFile(zep::testing::DataPath("companions/launcher.sh")));
        chmod(launcher_.c_str(), 0755);
    }
    std::string MakeRun(const std::string& name) {
        std::filesystem::create_directory(dir_.File(name));
        return dir_.File(name);
    }
    std::string AwaitRecord() {
        for (int i = 0; i < 400 && !zep::testing::FileExists(dir_.File("record.txt")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        return ReadFile(dir_.File("record.txt"));
    }
    // Lets the launcher of the record end and reaps it; its exit status, or -1 when it was not this
    // process's child.
    static int FinishChild(const std::string& runFolder, const std::string& record) {
        const pid_t pid = static_cast<pid_t>(std::stol(record));
        WriteFile(runFolder + "/go", "");
        int status = 0;
        if (waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    zep::testing::ScopedTempDir dir_;
    const std::string launcher_ = dir_.File("launcher.sh");
    CZEPNetSession session_;
};

TEST_F(ZEPNetSessionPosix, StartsTheLauncherInTheRunFolderWithWindowsSplitArgumentsAndDoesNotWait) {
    const std::string run = MakeRun("run folder");
    // A descriptor of the caller's that a long-lived launcher must not keep.
    int held = open("/dev/null", O_RDONLY);
    ASSERT_EQ(dup2(held, 77), 77);
    close(held);

    zep::testing::StdoutCapture capture;
    ASSERT_EQ(session_.SpawnMPIProcess(launcher_.c_str(),
                                       "-wdir \"C:\\Run Folder\\\\\" -localonly -np 4 \"a\\\"b\" \"\" last",
                                       0, run.c_str(), true, false),
              0);
    const std::string record = AwaitRecord();
    ASSERT_FALSE(record.empty());
    // Still running: the call did not wait for it.
    int status = 0;
    EXPECT_EQ(waitpid(static_cast<pid_t>(std::stol(record)), &status, WNOHANG), 0);
    EXPECT_EQ(
        record.substr(record.find('\n') + 1),
        run + "\n[-wdir]\n[C:\\Run Folder\\]\n[-localonly]\n[-np]\n[4]\n[a\"b]\n[]\n[last]\nfd77 closed\n");
    close(77);
    EXPECT_EQ(FinishChild(run, record), 3) << "the launcher is the caller's child";
    // Without redirection the console is the caller's.
    EXPECT_EQ(capture.Stop(), "launcher-out\n");
}

// The run folder in the library's own form (built with backslashes), the launcher path relative to the
// caller's folder.
TEST_F(ZEPNetSessionPosix, ConsoleRedirectionWritesTheConsoleToAFileInTheRunFolder) {
    const std::string run = MakeRun("run");
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    const int rc =
        session_.SpawnMPIProcess("./launcher.sh", "-n 2", 1, (dir_.path() + "\\run").c_str(), false, true);
    std::filesystem::current_path(before);
    ASSERT_EQ(rc, 0);
    const std::string record = AwaitRecord();
    ASSERT_FALSE(record.empty());
    EXPECT_EQ(FinishChild(run, record), 3);
    EXPECT_THAT(record, HasSubstr(run + "\n[-n]\n[2]\n"));

    const auto consoles = zep::testing::FilesStartingWith(run, "console_redirect_");
    ASSERT_EQ(consoles.size(), 1u) << "one console file in the run folder";
    EXPECT_TRUE(zep::testing::HasForm(consoles[0], "console_redirect_9999-99-99_99-99-99.txt"))
        << consoles[0];
    const std::string text = ReadFile(run + "/" + consoles[0]);
    EXPECT_THAT(text, HasSubstr("launcher-out\n"));
    EXPECT_THAT(text, HasSubstr("launcher-err\n"));
}

TEST_F(ZEPNetSessionPosix, ALauncherThatCannotStartIsReportedAndLeavesNoChild) {
    EXPECT_EQ(session_.SpawnMPIProcess(dir_.File("no-such-launcher").c_str(), "-n 1", 0, dir_.path().c_str(),
                                       true, false),
              ENOENT);
    EXPECT_NE(session_.SpawnMPIProcess(nullptr, "", 0, dir_.path().c_str(), true, false), 0);
    EXPECT_EQ(
        session_.SpawnMPIProcess(launcher_.c_str(), "", 0, dir_.File("missing-folder").c_str(), true, false),
        ENOENT);
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

}  // namespace
