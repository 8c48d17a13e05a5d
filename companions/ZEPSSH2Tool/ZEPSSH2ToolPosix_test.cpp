// Tests of the remote shell companion that need no SSH server: a closed port, a server that never
// answers, and local files that cannot be written.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "TestUtil.h"
#include "ZEPSSH2Tool.h"

namespace {

// A listening socket on 127.0.0.1 that takes connections into its backlog but never says a word.
class SilentListener {
  public:
    SilentListener() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        listen(fd_, 4);
        socklen_t size = sizeof(address);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() { Close(); }
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    int port() const { return port_; }

  private:
    int fd_ = -1;
    int port_ = 0;
};

class ZEPSSH2ToolPosix : public ::testing::Test {
  protected:
    void TearDown() override {
        CZEPSSH2Tool::SSH2_SetPort(22);
        CZEPSSH2Tool::SSH2_SetTimeout(0);
    }
};

TEST_F(ZEPSSH2ToolPosix, AClosedPortFailsToConnectAndGivesEmptyOutputs) {
    SilentListener listener;
    int port = listener.port();
    listener.Close();  // nothing listens there any more
    CZEPSSH2Tool::SSH2_SetPort(port);
    CZEPSSH2Tool tool;
    EXPECT_EQ(tool.SSH2_CheckConnection(L"127.0.0.1", L"user", L"password"), -2);

    wchar_t* out = nullptr;
    wchar_t* err = nullptr;
    int exitCode = 0;
    EXPECT_EQ(tool.SSH2_RemoteCommandStdoutStderr(L"127.0.0.1", L"user", L"password", L"true", out, err,
                                                  exitCode, false, false),
              -2);
    ASSERT_NE(out, nullptr);
    ASSERT_NE(err, nullptr);
    EXPECT_EQ(std::wstring(out), L"");
    EXPECT_EQ(exitCode, -1);
    delete[] out;
    delete[] err;

    EXPECT_EQ(tool.SSH2_CheckConnection(L"no-such-host.invalid", L"user", L"password"), -2);
}

TEST_F(ZEPSSH2ToolPosix, AServerThatNeverAnswersTimesOutInsteadOfHanging) {
    SilentListener listener;
    CZEPSSH2Tool::SSH2_SetPort(listener.port());
    CZEPSSH2Tool::SSH2_SetTimeout(500);
    CZEPSSH2Tool tool;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(tool.SSH2_CheckConnection(L"127.0.0.1", L"user", L"password"), -3);
    int exitCode = 0;
    EXPECT_EQ(tool.SSH2_RemoteCommandOutputToFile(L"127.0.0.1", L"user", L"password", L"true", L"", L"",
                                                  exitCode, false, true, false),
              -3);
    // Generous: the point is that it ends at all.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

TEST_F(ZEPSSH2ToolPosix, LocalFilesThatCannotBeWrittenStopTheLaunchBeforeItStarts) {
    zep::testing::ScopedTempDir dir;
    SilentListener listener;
    CZEPSSH2Tool::SSH2_SetPort(listener.port());
    CZEPSSH2Tool::SSH2_SetTimeout(500);
    CZEPSSH2Tool tool;
    std::wstring folder(dir.path().begin(), dir.path().end());
    std::wstring missing = folder + L"/missing/mpiexec.pid";
    std::wstring console = folder + L"/missing/console.txt";
    int exitCode = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(tool.SSH2_RemoteCommandOutputToFile(L"127.0.0.1", L"user", L"password", L"true", L"",
                                                  missing.c_str(), exitCode, false, true, false),
              -11);
    EXPECT_EQ(
        tool.SSH2_RemoteCommandOutputToFile(L"127.0.0.1", L"user", L"password", L"true", console.c_str(),
                                            (folder + L"/pid").c_str(), exitCode, true, true, false),
        -11);
    EXPECT_EQ(exitCode, -1);
    // Nothing was tried on the (silent) server.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
}

TEST_F(ZEPSSH2ToolPosix, ALaunchThatNeverStartedLeavesNoProcessIdFile) {
    // A process-id file, empty or left from an earlier launch, would name a launcher that does not run.
    zep::testing::ScopedTempDir dir;
    const std::string pidFile = dir.File("mpiexec.pid");
    const std::wstring widePid(pidFile.begin(), pidFile.end());
    CZEPSSH2Tool tool;
    int exitCode = 0;

    SilentListener closed;
    const int closedPort = closed.port();
    closed.Close();
    CZEPSSH2Tool::SSH2_SetPort(closedPort);
    zep::testing::WriteFile(pidFile, "4242\n");
    EXPECT_EQ(tool.SSH2_RemoteCommandOutputToFile(L"127.0.0.1", L"user", L"password", L"true", L"",
                                                  widePid.c_str(), exitCode, false, true, false),
              -2);
    EXPECT_FALSE(zep::testing::FileExists(pidFile));

    SilentListener silent;
    CZEPSSH2Tool::SSH2_SetPort(silent.port());
    CZEPSSH2Tool::SSH2_SetTimeout(500);
    zep::testing::WriteFile(pidFile, "4242\n");
    EXPECT_EQ(tool.SSH2_RemoteCommandOutputToFile(L"127.0.0.1", L"user", L"password", L"true", L"",
                                                  widePid.c_str(), exitCode, false, true, false),
              -3);
    EXPECT_FALSE(zep::testing::FileExists(pidFile));
    EXPECT_EQ(exitCode, -1);
}

}  // namespace
