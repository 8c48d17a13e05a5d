// The real servers of the integration tests, on the loopback interface only.
#ifndef ZEP3D_INTEGRATION_SERVERHARNESS_H_
#define ZEP3D_INTEGRATION_SERVERHARNESS_H_

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "Subprocess.h"
#include "TestUtil.h"
#include "ZEPSSH2Tool.h"

namespace zep {
namespace testing {

// True when a server that cannot be had must fail the test instead of skipping it: in CI (CI set and
// not "false") or with ZEP3D_REQUIRE_SERVERS=1.
bool ServersRequired();

// `text` as one word of a POSIX shell command line.
std::string Quote(const std::string& text);

// Returns the exit status (-1 when it could not run); standard output and error go to `output`.
int RunShell(const std::string& command, std::string* output);

// A TCP port on 127.0.0.1 that nothing listens on at the moment of the call.
int FreeLoopbackPort();

// Polls `ready` every 50 ms until it is true or timeoutMs have passed; returns its last answer.
bool WaitUntil(const std::function<bool()>& ready, int timeoutMs);

// The servers of one test suite, run by servers.sh beside this file, under a folder of their own, which
// is also HOME while they live (the SSH companion remembers hosts in $HOME/.ssh/known_hosts).
struct ServerSet {
    ServerSet(bool slurm, bool ssh, bool storageNode);
    ~ServerSet();

    ScopedTempDir folder;
    bool ready = false;
    std::string why;
    std::string node;  // this machine's Slurm node name
    int port = 0;      // sshd's
    std::string user;
    std::string password = "Zep-Pw-12345";
    std::string home;    // the test user's
    std::string shared;  // the working folder, which the storage node sees at the same path
    std::string hostKeyFile() const { return folder.File("sshd/hostkey"); }
    std::string ecdsaHostKeyFile() const { return folder.File("sshd/hostkey_ecdsa"); }

  private:
    companions::Subprocess supervisor_;
    std::optional<std::string> savedHome_;
};

// A test suite whose servers start once; with SSH, the time-out leaves a loaded machine room to log in.
template <bool kSlurm, bool kSsh, bool kNode = false>
class ServerSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { servers_ = new ServerSet(kSlurm, kSsh, kNode); }
    static void TearDownTestSuite() {
        delete servers_;
        servers_ = nullptr;
    }
    void SetUp() override {
        if (!servers_->ready && ServersRequired()) FAIL() << "no server: " << servers_->why;
        if (!servers_->ready) GTEST_SKIP() << "no server: " << servers_->why;
        if (kSsh) CZEPSSH2Tool::SSH2_SetPort(servers_->port);
        if (kSsh) CZEPSSH2Tool::SSH2_SetTimeout(20000);
    }
    void TearDown() override {
        CZEPSSH2Tool::SSH2_SetPort(22);
        CZEPSSH2Tool::SSH2_SetTimeout(0);
        CZEPSSH2Tool::SSH2_SetAcceptNewHosts(true);
    }

    static ServerSet& server() { return *servers_; }
    static ServerSet* servers_;
};

template <bool kSlurm, bool kSsh, bool kNode>
ServerSet* ServerSuite<kSlurm, kSsh, kNode>::servers_ = nullptr;

}  // namespace testing
}  // namespace zep

#endif  // ZEP3D_INTEGRATION_SERVERHARNESS_H_
