// The real servers of the integration tests, on the loopback interface only: an OpenSSH server with a
// password-authenticated test user, and a one-node Slurm cluster.
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

// Runs a shell command line; returns its exit status (-1 when it could not run) and its standard
// output and error in `output`.
int RunShell(const std::string& command, std::string* output);

// A TCP port on 127.0.0.1 that nothing listens on at the moment of the call.
int FreeLoopbackPort();

// Polls `ready` every 50 ms until it is true or timeoutMs have passed; returns its last answer.
bool WaitUntil(const std::function<bool()>& ready, int timeoutMs);

// The servers of one test suite under a folder of its own, which is also HOME while they live (the SSH
// companion remembers hosts in $HOME/.ssh/known_hosts): the one-node Slurm cluster (SLURM_CONF is set
// for this process) and the OpenSSH server with a test user of this process ("zeptest" and the process
// id). servers.sh, beside this file, runs them as its children and stops them when it is stopped. With
// both servers, the sshd's sessions see the cluster. `ready` is false with `why` set when a server
// cannot be had.
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
    std::string home;  // the test user's
    // The storage node's side: its installation (folder/node/) and where its stand-ins record their
    // calls (folder/calls), and the shared working folder, which the node sees at the same path.
    std::string shared;
    // The private key files of the server's ed25519 and ECDSA (nistp256) host keys; ".pub" beside them.
    std::string hostKeyFile() const { return folder.File("sshd/hostkey"); }
    std::string ecdsaHostKeyFile() const { return folder.File("sshd/hostkey_ecdsa"); }

  private:
    companions::Subprocess supervisor_;
    std::optional<std::string> savedHome_;
};

// A test suite whose servers start before its first test and stop after its last; each test skips (or
// fails, where servers are required) when they could not be had. With SSH, the companion talks to the
// server's port during each test, with a time-out that leaves a loaded machine room to log in.
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

    static ServerSet* servers_;
};

template <bool kSlurm, bool kSsh, bool kNode>
ServerSet* ServerSuite<kSlurm, kSsh, kNode>::servers_ = nullptr;

}  // namespace testing
}  // namespace zep

#endif  // ZEP3D_INTEGRATION_SERVERHARNESS_H_
