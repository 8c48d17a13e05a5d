// SSH connections on libssh2: the host key against known_hosts, the password log-in, and commands read
// with a time-out on a silent server.
#include "SshSession.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "KnownHosts.h"
#include "SshSettings.h"

namespace zep {
namespace companions {
namespace {

using Clock = std::chrono::steady_clock;

// Output of one stream kept for the caller at most; the rest is read and dropped.
constexpr size_t kOutputCap = 32u << 20;

std::string LastError(LIBSSH2_SESSION* session) {
    char* message = nullptr;
    int length = 0;
    if (session != nullptr) libssh2_session_last_error(session, &message, &length, 0);
    return message != nullptr ? std::string(message, static_cast<size_t>(length)) : std::string();
}

std::string Joined(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) out += (out.empty() ? "" : ", ") + part;
    return out;
}

class Channel {
  public:
    explicit Channel(LIBSSH2_CHANNEL* channel) : channel_(channel) {}
    ~Channel() {
        if (channel_ != nullptr) libssh2_channel_free(channel_);
    }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;
    LIBSSH2_CHANNEL* get() { return channel_; }

  private:
    LIBSSH2_CHANNEL* channel_;
};

// The SSH library's memory, wiped before it is released: its buffers hold the password of the log-in
// request and the session's keys. Each block carries its size in front, in a header that keeps the
// block aligned as malloc's are.
constexpr size_t kBlockHeader = 16;
static_assert(kBlockHeader >= alignof(std::max_align_t) && kBlockHeader >= sizeof(size_t), "block header");

void* WipingAlloc(size_t count, void** abstract) {
    (void)abstract;
    unsigned char* base = static_cast<unsigned char*>(std::malloc(count + kBlockHeader));
    if (base == nullptr) return nullptr;
    std::memcpy(base, &count, sizeof(count));
    return base + kBlockHeader;
}

void WipingFree(void* block, void** abstract) {
    (void)abstract;
    if (block == nullptr) return;
    unsigned char* base = static_cast<unsigned char*>(block) - kBlockHeader;
    size_t count = 0;
    std::memcpy(&count, base, sizeof(count));
    WipeMemory(block, count);
    std::free(base);
}

void* WipingRealloc(void* block, size_t count, void** abstract) {
    void* fresh = WipingAlloc(count, abstract);
    if (fresh == nullptr || block == nullptr) return fresh;
    size_t old = 0;
    std::memcpy(&old, static_cast<unsigned char*>(block) - kBlockHeader, sizeof(old));
    std::memcpy(fresh, block, old < count ? old : count);
    WipingFree(block, abstract);
    return fresh;
}

void AppendCapped(std::string& into, const char* data, size_t length) {
    size_t room = into.size() < kOutputCap ? kOutputCap - into.size() : 0;
    into.append(data, length < room ? length : room);
}

}  // namespace

bool AcceptNewHostsByDefault() {
    const char* value = std::getenv("ZEP_SSH_ACCEPT_NEW_HOSTS");
    return value == nullptr || (std::strcmp(value, "0") != 0 && std::strcmp(value, "no") != 0);
}

void SshTrace(bool verbose, const std::string& text) {
    if (!verbose) return;
    std::fprintf(stdout, "SSH2: %s\n", text.c_str());
    std::fflush(stdout);
}

void SshWarn(const std::string& text) {
    std::fprintf(stderr, "CZEPSSH2Tool: %s\n", text.c_str());
    std::fflush(stderr);
}

SshSession::~SshSession() {
    if (session_ != nullptr) {
        libssh2_session_set_blocking(session_, 1);
        if (!abandoned_) libssh2_session_disconnect(session_, "done");
        libssh2_session_free(session_);
    }
    CloseSocket(socket_);
}

void SshSession::Abandon() {
    abandoned_ = true;
    ShutdownSocket(socket_);
}

// The SSH library's socket reads, noting every byte that arrives: only this sees the answers that the
// library takes in while it looks for channel data.
ssize_t SshSession::Receive(libssh2_socket_t socket, void* buffer, size_t length, int flags,
                            void** abstract) {
    ssize_t n = ReceiveSocket(socket, buffer, length, flags);
    if (n > 0 && abstract != nullptr && *abstract != nullptr) {
        static_cast<SshSession*>(*abstract)->lastHeard_ = Clock::now();
    }
    return n;
}

int SshSession::Open(const SshTarget& target, const std::string& user, const SecretText& password,
                     bool verbose) {
    if (!StartSshLibrary()) return kSshInitFailed;
    timeoutMs_ = target.timeoutMs;
    // Without a known_hosts file to check the host against, no password is sent.
    std::string home = UserHomeFolder();
    if (home.empty()) {
        SshWarn(std::string("there is no home folder (") + (PathSeparator() == '/' ? "HOME" : "USERPROFILE") +
                " is not set), so the host key of " + target.host +
                " cannot be checked against known_hosts; the connection is refused.");
        return kSshSessionFailed;
    }
    int rc = Handshake(target, home, verbose);
    if (rc != 0) return rc;

    const char* methods =
        libssh2_userauth_list(session_, user.c_str(), static_cast<unsigned int>(user.size()));
    if (methods == nullptr) {
        if (libssh2_userauth_authenticated(session_)) return 0;
        SshTrace(verbose, "no authentication methods: " + LastError(session_));
        return kSshSessionFailed;
    }
    std::string offered = std::string(",") + methods + ",";
    if (offered.find(",password,") == std::string::npos) {
        SshTrace(verbose, std::string("password authentication is not offered (") + methods + ")");
        return kSshNoPasswordMethod;
    }
    if (libssh2_userauth_password_ex(session_, user.c_str(), static_cast<unsigned int>(user.size()),
                                     password.c_str(), static_cast<unsigned int>(password.size()),
                                     nullptr) != 0) {
        SshTrace(verbose, "password authentication failed: " + LastError(session_));
        return kSshPasswordRefused;
    }
    SshTrace(verbose, "logged in as " + user);
    return 0;
}

int SshSession::Handshake(const SshTarget& target, const std::string& home, bool verbose) {
    std::string folder = home + PathSeparator() + ".ssh";
    std::string knownHosts = folder + PathSeparator() + "known_hosts";
    std::string text, why;
    if (ReadWholeFile(knownHosts, &text, &why) == FileRead::kFailed) {
        SshWarn("cannot read " + knownHosts + " (" + why + "), so the host key of " + target.host +
                " cannot be checked; the connection is refused.");
        return kSshSessionFailed;
    }
    KnownHostsFile file(text);
    std::string name = KnownHostName(target.host, target.port);
    std::vector<std::string> recorded = file.RecordedKeyTypes(name);

    std::string reason;
    socket_ = ConnectSocket(target.host, target.port, target.timeoutMs, &reason);
    if (socket_ == NoSocket()) {
        SshTrace(verbose,
                 "cannot connect to " + target.host + ":" + std::to_string(target.port) + ": " + reason);
        return kSshConnectFailed;
    }
    SshTrace(verbose, "connected to " + target.host + ":" + std::to_string(target.port));
    session_ = libssh2_session_init_ex(&WipingAlloc, &WipingFree, &WipingRealloc, this);
    if (session_ == nullptr) return kSshSessionFailed;
    libssh2_session_callback_set(session_, LIBSSH2_CALLBACK_RECV, reinterpret_cast<void*>(&Receive));
    libssh2_session_set_blocking(session_, 1);
    libssh2_session_set_timeout(session_, target.timeoutMs);
    // A known host must prove itself with a key of a recorded type: a server that offers another type
    // cannot be checked, and is not taken for a new host.
    std::string methods =
        recorded.empty() ? std::string() : SupportedHostKeyMethods(HostKeyMethodsFor(recorded));
    if (!recorded.empty() && (methods.empty() || libssh2_session_method_pref(session_, LIBSSH2_METHOD_HOSTKEY,
                                                                             methods.c_str()) != 0)) {
        SshWarn(name + " is known in " + knownHosts +
                " only with host keys of types that cannot be checked here (" + Joined(recorded) +
                "); the connection is refused.");
        return kSshSessionFailed;
    }
    int rc = libssh2_session_handshake(session_, socket_);
    if (rc != 0) {
        SshTrace(verbose, "handshake failed: " + LastError(session_));
        if (rc == LIBSSH2_ERROR_KEX_FAILURE && !recorded.empty()) {
            SshWarn(
                name + " offers no host key of the type known in " + knownHosts + " (" + Joined(recorded) +
                "); the connection is refused. If the host's keys were replaced, remove its old keys from " +
                knownHosts + ".");
        }
        Abandon();
        return kSshSessionFailed;
    }
    return VerifyHostKey(target, file, folder, knownHosts, verbose);
}

// The methods of the comma-separated list that the SSH library has, in their order. Only those are
// given to it: the library's own weeding of a preference list copies overlapping memory.
std::string SshSession::SupportedHostKeyMethods(const std::string& methods) {
    const char** algorithms = nullptr;
    int count = libssh2_session_supported_algs(session_, LIBSSH2_METHOD_HOSTKEY, &algorithms);
    std::string supported;
    size_t start = 0;
    while (count > 0 && start < methods.size()) {
        size_t comma = methods.find(',', start);
        if (comma == std::string::npos) comma = methods.size();
        std::string method = methods.substr(start, comma - start);
        start = comma + 1;
        for (int i = 0; i < count; ++i) {
            if (algorithms[i] != nullptr && method == algorithms[i]) {
                supported += (supported.empty() ? "" : ",") + method;
                break;
            }
        }
    }
    if (algorithms != nullptr) libssh2_free(session_, algorithms);
    return supported;
}

int SshSession::VerifyHostKey(const SshTarget& target, const KnownHostsFile& file, const std::string& folder,
                              const std::string& knownHosts, bool verbose) {
    size_t length = 0;
    int type = 0;
    const char* key = libssh2_session_hostkey(session_, &length, &type);
    if (key == nullptr || length == 0) {
        SshWarn("the host key of " + target.host + " cannot be read; the connection is refused.");
        return kSshSessionFailed;
    }
    std::string blob(key, length);
    std::string name = KnownHostName(target.host, target.port);
    switch (file.Check(name, blob)) {
        case HostKeyVerdict::kMatch:
            SshTrace(verbose, "host key of " + name + " matches " + knownHosts);
            return 0;
        case HostKeyVerdict::kRevoked:
            SshWarn("the host key of " + target.host + " is revoked in " + knownHosts +
                    "; the connection is refused.");
            return kSshSessionFailed;
        case HostKeyVerdict::kChanged:
            SshWarn("the host key of " + target.host +
                    " has changed; the connection is refused. If the change is expected, "
                    "remove the old key of " +
                    target.host + " from " + knownHosts + ".");
            return kSshSessionFailed;
        case HostKeyVerdict::kUnknown:
            break;
    }
    if (!target.acceptNewHosts) {
        SshWarn(
            name + " is not in " + knownHosts +
            " and new hosts are not accepted; the connection is refused. Add its key first (ssh-keyscan).");
        return kSshSessionFailed;
    }
    std::string why;
    if (!AppendPrivateFile(folder, knownHosts, KnownHostLine(name, blob), &why)) {
        SshWarn("the new host " + name + " cannot be remembered in " + knownHosts + " (" + why +
                "); the connection is refused.");
        return kSshSessionFailed;
    }
    SshTrace(verbose, "new host " + name + " remembered in " + knownHosts);
    return 0;
}

int SshSession::CheckShell() {
    Channel channel(libssh2_channel_open_session(session_));
    if (channel.get() == nullptr) return kSshChannelFailed;
    if (libssh2_channel_request_pty(channel.get(), "vt100") != 0) return kSshPtyFailed;
    if (libssh2_channel_shell(channel.get()) != 0) return kSshShellFailed;
    return 0;
}

int SshSession::WaitSocket(int timeoutMs) {
    int directions = libssh2_session_block_directions(session_);
    bool read = (directions & LIBSSH2_SESSION_BLOCK_INBOUND) != 0;
    bool write = (directions & LIBSSH2_SESSION_BLOCK_OUTBOUND) != 0;
    return companions::WaitSocket(socket_, read || !write, write, timeoutMs);
}

int SshSession::Run(const std::string& command, const OutputSink& onStdout, const OutputSink& onStderr,
                    int* exitStatus, bool verbose) {
    Channel channel(libssh2_channel_open_session(session_));
    if (channel.get() == nullptr) {
        SshTrace(verbose, "cannot open a channel: " + LastError(session_));
        return kSshChannelFailed;
    }
    if (libssh2_channel_exec(channel.get(), command.c_str()) != 0) {
        SshTrace(verbose, "the command was refused: " + LastError(session_));
        return kSshExecRefused;
    }
    SshTrace(verbose, "running: " + command);

    int intervalS = timeoutMs_ / 3000 < 2 ? 2 : timeoutMs_ / 3000;
    libssh2_keepalive_config(session_, 1, static_cast<unsigned int>(intervalS));
    auto silentLimit =
        std::chrono::milliseconds(timeoutMs_ > 3000 * intervalS ? timeoutMs_ : 3000 * intervalS) +
        std::chrono::seconds(1);
    libssh2_session_set_blocking(session_, 0);
    auto started = Clock::now();
    char buffer[16384];
    int result = 0;
    for (;;) {
        bool progress = false;
        for (int stream : {0, SSH_EXTENDED_DATA_STDERR}) {
            for (;;) {
                ssize_t n = libssh2_channel_read_ex(channel.get(), stream, buffer, sizeof(buffer));
                if (n > 0) {
                    (stream == 0 ? onStdout : onStderr)(buffer, static_cast<size_t>(n));
                    progress = true;
                    continue;
                }
                if (n < 0 && n != LIBSSH2_ERROR_EAGAIN) result = kSshServerSilent;
                break;
            }
        }
        if (result != 0) {
            SshTrace(verbose, "the connection broke: " + LastError(session_));
            break;
        }
        // The end comes after all data; what arrived with it was read in this pass unless progress says
        // more may be queued.
        if (libssh2_channel_eof(channel.get()) && !progress) break;
        if (progress) continue;
        if (WaitSocket(1000) < 0) {
            result = kSshServerSilent;
            break;
        }
        auto lastHeard = lastHeard_ > started ? lastHeard_ : started;
        if (Clock::now() - lastHeard > silentLimit) {
            SshTrace(verbose, "the server stopped answering");
            result = kSshServerSilent;
            break;
        }
        int nextS = 0;
        libssh2_keepalive_send(session_, &nextS);
    }
    libssh2_session_set_blocking(session_, 1);
    if (result != 0) {
        Abandon();
        return result;
    }
    libssh2_channel_close(channel.get());
    libssh2_channel_wait_closed(channel.get());
    *exitStatus = libssh2_channel_get_exit_status(channel.get());
    char* signal = nullptr;
    libssh2_channel_get_exit_signal(channel.get(), &signal, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (signal != nullptr) {
        SshTrace(verbose, std::string("the command ended by signal ") + signal);
        libssh2_free(session_, signal);
        *exitStatus = -1;
    }
    SshTrace(verbose, "exit status " + std::to_string(*exitStatus));
    return 0;
}

int RunSshCommand(const SshTarget& target, const std::string& user, const SecretText& password,
                  const std::string& command, std::string* out, std::string* err, int* exitStatus,
                  bool verbose) {
    SshSession session;
    int rc = session.Open(target, user, password, verbose);
    if (rc != 0) return rc;
    return session.Run(
        command, [out](const char* d, size_t n) { AppendCapped(*out, d, n); },
        [err](const char* d, size_t n) { AppendCapped(*err, d, n); }, exitStatus, verbose);
}

}  // namespace companions
}  // namespace zep
