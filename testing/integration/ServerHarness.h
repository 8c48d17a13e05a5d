// The real servers of the integration tests, on the loopback interface only: an OpenSSH server with a
// password-authenticated test user, and a one-node Slurm cluster. Each is started by the test program
// that uses it, runs as that program's child, and is stopped by its process id.
#ifndef ZEP3D_INTEGRATION_SERVERHARNESS_H_
#define ZEP3D_INTEGRATION_SERVERHARNESS_H_

#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

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

// A daemon started as this process's child, its output in a log file; stopped by its process id when
// the object ends.
class ChildProcess {
  public:
    ~ChildProcess() { Stop(); }

    // Starts argv[0] (an absolute path) with standard input empty and standard output and error in
    // logPath. Returns false with `why` set when it cannot be started.
    bool Start(const std::vector<std::string>& argv, const std::string& logPath, std::string* why);

    // True while the child has not ended.
    bool Running() { return process_.Running(); }

    // Sends the signal while the child runs.
    void Signal(int signal) { process_.Signal(signal); }

    // Sends SIGTERM and reaps the child, SIGKILL after timeoutMs. Does nothing when not running.
    void Stop(int timeoutMs = 15000);

    pid_t pid() const { return process_.pid(); }

  private:
    companions::Subprocess process_;
};

// Polls `ready` every 50 ms until it is true or timeoutMs have passed; returns its last answer.
bool WaitUntil(const std::function<bool()>& ready, int timeoutMs);

// The OpenSSH server: sshd on a free port of 127.0.0.1 and a test user of this process ("zeptest" and
// the process id), who logs in with a password and has bash as the login shell.
class SshServer {
  public:
    ~SshServer() { Stop(); }

    // Prepares the user and the configuration under `folder` and starts sshd; false with `why` set
    // when the server cannot be had here. `extraConfig` is added to sshd_config (lines with their ends).
    bool Start(const std::string& folder, std::string* why, const std::string& extraConfig = std::string());
    // Stops sshd by its process id and removes the test user.
    void Stop();

    int port() const { return port_; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }
    const std::string& home() const { return home_; }
    // The private key files of the server's ed25519 and ECDSA (nistp256) host keys; ".pub" beside them.
    const std::string& hostKeyFile() const { return hostKey_; }
    std::string ecdsaHostKeyFile() const { return hostKey_ + "_ecdsa"; }

  private:
    ChildProcess sshd_;
    int port_ = 0;
    bool userCreated_ = false;
    std::string user_;  // one of this process's own, so that test runs side by side do not meet
    std::string password_ = "Zep-Pw-12345";
    std::string home_;
    std::string hostKey_;
};

// The one-node Slurm cluster: munged (on a socket of its own), slurmctld and slurmd, configured through
// SLURM_CONF, which Start sets for this process.
class SlurmCluster {
  public:
    ~SlurmCluster() { Stop(); }

    // Prepares the cluster's state under `folder` and starts the daemons until the node is idle;
    // false with `why` set when the cluster cannot be had here.
    bool Start(const std::string& folder, std::string* why);
    // Stops the daemons that Start started, by their process ids.
    void Stop();

    // This machine's Slurm node name.
    const std::string& node() const { return node_; }
    const std::string& configuration() const { return configuration_; }

  private:
    ChildProcess munged_;
    ChildProcess slurmctld_;
    ChildProcess slurmd_;
    std::string node_;
    std::string configuration_;
};

// The servers of one test suite under a folder of its own, which is also HOME while they live (the SSH
// companion remembers hosts in $HOME/.ssh/known_hosts). With both servers, the sshd's sessions see the
// cluster. `ready` is false with `why` set when a server cannot be had.
struct ServerSet {
    ServerSet(bool slurm, bool ssh);
    ~ServerSet();

    ScopedTempDir folder;
    SlurmCluster cluster;
    SshServer server;
    bool ready = true;
    std::string why;

  private:
    bool hadHome_ = false;
    std::string savedHome_;
};

// A test suite whose servers start before its first test and stop after its last; each test skips (or
// fails, where servers are required) when they could not be had. With SSH, the companion talks to the
// server's port during each test, with a time-out that leaves a loaded machine room to log in.
template <bool kSlurm, bool kSsh>
class ServerSuite : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { servers_ = new ServerSet(kSlurm, kSsh); }
    static void TearDownTestSuite() {
        delete servers_;
        servers_ = nullptr;
    }
    void SetUp() override {
        if (!servers_->ready && ServersRequired()) FAIL() << "no server: " << servers_->why;
        if (!servers_->ready) GTEST_SKIP() << "no server: " << servers_->why;
        if (kSsh) CZEPSSH2Tool::SSH2_SetPort(servers_->server.port());
        if (kSsh) CZEPSSH2Tool::SSH2_SetTimeout(20000);
    }
    void TearDown() override {
        CZEPSSH2Tool::SSH2_SetPort(22);
        CZEPSSH2Tool::SSH2_SetTimeout(0);
        CZEPSSH2Tool::SSH2_SetAcceptNewHosts(true);
    }

    static ServerSet* servers_;
};

template <bool kSlurm, bool kSsh>
ServerSet* ServerSuite<kSlurm, kSsh>::servers_ = nullptr;

}  // namespace testing
}  // namespace zep

#endif  // ZEP3D_INTEGRATION_SERVERHARNESS_H_
