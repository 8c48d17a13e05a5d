// Tests of the remote shell companion that need no SSH server.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "TestUtil.h"
#include "ZEPSSH2Tool.h"

namespace {

using zep::testing::FileExists;
using zep::testing::WriteFile;

// A listening socket on 127.0.0.1 that takes connections into its backlog but never says a word.
struct SilentListener {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    int port = 0;
    SilentListener() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof(address);
        bind(fd, reinterpret_cast<sockaddr*>(&address), size);
        listen(fd, 4);
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
        port = ntohs(address.sin_port);
    }
    ~SilentListener() { Close(); }
    void Close() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
};

class ZEPSSH2ToolPosix : public ::testing::Test {
  protected:
    void TearDown() override {
        CZEPSSH2Tool::SSH2_SetPort(22);
        CZEPSSH2Tool::SSH2_SetTimeout(0);
    }
    // The background launch of "true" with these local files; exitCode_ takes the launcher's code.
    int Launch(const std::string& console, const std::string& pidFile) {
        const std::wstring wideConsole(console.begin(), console.end()),
            widePid(pidFile.begin(), pidFile.end());
        return tool_.SSH2_RemoteCommandOutputToFile(L"127.0.0.1", L"user", L"password", L"true",
                                                    wideConsole.c_str(), widePid.c_str(), exitCode_,
                                                    !console.empty(), true, false);
    }
    zep::testing::ScopedTempDir dir_;
    CZEPSSH2Tool tool_;
    int exitCode_ = 0;
};

// A launch that never started leaves no process-id file: an empty one, or one left from an earlier
// launch, would name a launcher that does not run.
TEST_F(ZEPSSH2ToolPosix, AClosedPortFailsToConnectGivesEmptyOutputsAndLeavesNoProcessIdFile) {
    SilentListener listener;
    listener.Close();  // nothing listens there any more
    CZEPSSH2Tool::SSH2_SetPort(listener.port);
    EXPECT_EQ(tool_.SSH2_CheckConnection(L"127.0.0.1", L"user", L"password"), -2);
    EXPECT_EQ(tool_.SSH2_CheckConnection(L"no-such-host.invalid", L"user", L"password"), -2);

    wchar_t* out = nullptr;
    wchar_t* err = nullptr;
    EXPECT_EQ(tool_.SSH2_RemoteCommandStdoutStderr(L"127.0.0.1", L"user", L"password", L"true", out, err,
                                                   exitCode_, false, false),
              -2);
    ASSERT_NE(out, nullptr);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(std::wstring(out), L"");
    EXPECT_EQ(exitCode_, -1);
    delete[] out;
    delete[] err;

    WriteFile(dir_.File("mpiexec.pid"), "4242\n");
    EXPECT_EQ(Launch("", dir_.File("mpiexec.pid")), -2);
    EXPECT_FALSE(FileExists(dir_.File("mpiexec.pid")));
}

TEST_F(ZEPSSH2ToolPosix, AServerThatNeverAnswersTimesOutInsteadOfHanging) {
    SilentListener listener;
    CZEPSSH2Tool::SSH2_SetPort(listener.port);
    CZEPSSH2Tool::SSH2_SetTimeout(500);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(tool_.SSH2_CheckConnection(L"127.0.0.1", L"user", L"password"), -3);
    WriteFile(dir_.File("mpiexec.pid"), "4242\n");
    EXPECT_EQ(Launch("", dir_.File("mpiexec.pid")), -3);
    EXPECT_FALSE(FileExists(dir_.File("mpiexec.pid")));
    EXPECT_EQ(exitCode_, -1);
    // Generous: the point is that it ends at all.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));

    // Local files that cannot be written stop the launch before anything is tried on the server.
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(Launch("", dir_.File("missing/mpiexec.pid")), -11);
    exitCode_ = 0;
    EXPECT_EQ(Launch(dir_.File("missing/console.txt"), dir_.File("pid")), -11);
    EXPECT_EQ(exitCode_, -1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
}

}  // namespace
