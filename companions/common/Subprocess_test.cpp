// Tests of the child processes on POSIX. Redirection to a file, the working folder and the closing of
// descriptors are tested through ZEPNetSession, the launcher companion that uses them.
#include "Subprocess.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <string>
#include <vector>

namespace {

using zep::companions::SpawnOptions;
using zep::companions::Subprocess;

SpawnOptions Captured() {
    SpawnOptions options;
    options.inputFromNull = true;
    options.captureOutput = true;
    return options;
}

TEST(Subprocess, CapturesBothStreamsUpToTheCapAndKeepsTheExitCode) {
    Subprocess child;
    // Standard input is empty, so cat ends at once.
    ASSERT_EQ(child.Start({"sh", "-c", "cat; printf 'out-text'; printf 'err-text' >&2; exit 7"}, Captured()),
              0);
    EXPECT_GT(child.pid(), 0);
    std::string out, err;
    EXPECT_TRUE(child.ReadOutput(&out, &err, 5, 10000));
    EXPECT_EQ(out, "out-t");
    EXPECT_EQ(err, "err-t");
    EXPECT_TRUE(child.WaitFor(10000));
    EXPECT_FALSE(child.Running());
    EXPECT_EQ(child.ExitCode(), 7);
}

TEST(Subprocess, ChildrenThatDoNotEndInTimeAreReportedAndKilled) {
    // One keeps its output open, one closes it and goes on.
    for (const char* script : {"printf 'early'; exec sleep 30", "exec >&- 2>&-; exec sleep 30"}) {
        Subprocess child;
        ASSERT_EQ(child.Start({"sh", "-c", script}, Captured()), 0) << script;
        std::string out, err;
        bool read = child.ReadOutput(&out, &err, 100, 300);
        bool ended = read && child.WaitFor(300);
        EXPECT_FALSE(ended) << script;
        EXPECT_TRUE(child.Running()) << script;
        EXPECT_EQ(child.ExitCode(), -1) << "still running: " << script;
        child.Kill();
        EXPECT_FALSE(child.Running()) << script;
        EXPECT_EQ(child.ExitCode(), -1) << "ended by a signal: " << script;
    }
}

TEST(Subprocess, WhatCannotStartIsAnErrorNumberAndLeavesNoChild) {
    SpawnOptions notSearched = Captured();
    notSearched.searchPath = false;
    SpawnOptions missingFolder;
    missingFolder.folder = "/nonexistent-folder-of-the-test";
    SpawnOptions missingLog;
    missingLog.outputFile = "/nonexistent-folder-of-the-test/log";
    struct Case {
        std::vector<std::string> argv;
        SpawnOptions options;
        int error;
    } cases[] = {
        {{"/nonexistent-program-of-the-test"}, Captured(), ENOENT},
        {{"sh", "-c", "exit 0"}, notSearched, ENOENT},  // no PATH search: "sh" from the caller's folder
        {{"sh", "-c", "exit 0"}, missingFolder, ENOENT},
        {{"sh", "-c", "exit 0"}, missingLog, ENOENT},
        {{}, Captured(), EINVAL},
    };
    for (const Case& c : cases) {
        Subprocess child;
        EXPECT_EQ(child.Start(c.argv, c.options), c.error) << (c.argv.empty() ? "" : c.argv[0]);
        EXPECT_EQ(child.pid(), -1);
        EXPECT_FALSE(child.Running());
    }
    int status = 0;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

}  // namespace
