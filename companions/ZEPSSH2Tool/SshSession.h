// One logged-in SSH connection on libssh2, shared by the remote shell companion and the cluster job
// companion: password log-in with the host key checked against the user's known_hosts, the PTY and
// shell check, and commands on exec channels read without ever waiting longer than the time-out on a
// server that has stopped answering.
#ifndef ZEP3D_COMPANIONS_ZEPSSH2TOOL_SSHSESSION_H_
#define ZEP3D_COMPANIONS_ZEPSSH2TOOL_SSHSESSION_H_

#include <chrono>
#include <functional>
#include <string>

#include "CompanionSecret.h"
#include "SshPlatform.h"

namespace zep {
namespace companions {

class KnownHostsFile;

// The connection check codes.
constexpr int kSshInitFailed = -1;
constexpr int kSshConnectFailed = -2;
constexpr int kSshSessionFailed = -3;  // also: the host key was refused or cannot be checked
constexpr int kSshNoPasswordMethod = -4;
constexpr int kSshPtyFailed = -5;
constexpr int kSshPasswordRefused = -6;
constexpr int kSshChannelFailed = -7;
constexpr int kSshShellFailed = -8;

// Where and how to connect.
struct SshTarget {
    std::string host;  // UTF-8
    int port = 22;
    int timeoutMs = 30000;
    bool acceptNewHosts = true;  // remember a host seen for the first time instead of refusing it
};

// Whether a host that known_hosts does not name is remembered (true) or refused, unless the caller
// decides: false when the environment variable ZEP_SSH_ACCEPT_NEW_HOSTS is "0" or "no".
bool AcceptNewHostsByDefault();

using OutputSink = std::function<void(const char* data, size_t length)>;

// Writes one line "SSH2: <text>" to standard output when `verbose` is set.
void SshTrace(bool verbose, const std::string& text);
// Writes one line "CZEPSSH2Tool: <text>" to standard error.
void SshWarn(const std::string& text);

class SshSession {
  public:
    SshSession() = default;
    ~SshSession();
    SshSession(const SshSession&) = delete;
    SshSession& operator=(const SshSession&) = delete;

    // Connects, checks the host key and logs in: 0, or a connection check code. The password is only
    // read; the caller keeps and wipes it.
    int Open(const SshTarget& target, const std::string& user, const SecretText& password, bool verbose);

    // Opens a PTY and a shell on a new channel: 0, or -7, -5 or -8.
    int CheckShell();

    // Runs one command on an exec channel and hands its output to the sinks as it comes. While the
    // command is silent the server is asked for a sign of life now and then; when nothing at all comes
    // back for the time-out, the server is taken as gone. Returns 0 with the exit status set (-1 for a
    // command ended by a signal), -7 (channel), -9 (command refused) or -10 (server gone).
    int Run(const std::string& command, const OutputSink& onStdout, const OutputSink& onStderr,
            int* exitStatus, bool verbose);

  private:
    // Connects and makes the SSH handshake, preferring the host key types that known_hosts records for
    // the host, then checks the key (VerifyHostKey).
    int Handshake(const SshTarget& target, const std::string& home, bool verbose);
    std::string SupportedHostKeyMethods(const std::string& methods);
    int VerifyHostKey(const SshTarget& target, const KnownHostsFile& file, const std::string& folder,
                      const std::string& knownHosts, bool verbose);
    // For a server that no longer answers: cuts the connection, so that releasing the channels and the
    // SSH state fails at once instead of waiting for answers that will not come.
    void Abandon();
    int WaitSocket(int timeoutMs);

    static ssize_t Receive(libssh2_socket_t socket, void* buffer, size_t length, int flags, void** abstract);

    SshSocket socket_ = NoSocket();
    bool abandoned_ = false;
    std::chrono::steady_clock::time_point lastHeard_ = std::chrono::steady_clock::now();
    LIBSSH2_SESSION* session_ = nullptr;
    int timeoutMs_ = 30000;
};

// One command on a new connection, its output collected (each stream capped at 32 MiB): the codes of
// SshSession::Open and SshSession::Run.
int RunSshCommand(const SshTarget& target, const std::string& user, const SecretText& password,
                  const std::string& command, std::string* out, std::string* err, int* exitStatus,
                  bool verbose);

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_ZEPSSH2TOOL_SSHSESSION_H_
