// The remote shell companion on POSIX, on libssh2: password log-in with the host key checked against
// the user's known_hosts, the PTY and shell check, and exec channels read without ever waiting longer
// than the time-out on a server that has stopped answering.
#include <errno.h>
#include <fcntl.h>
#include <libssh2.h>
#include <netdb.h>
#include <poll.h>
#include <pwd.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <mutex>
#include <new>
#include <string>

#include "CompanionText.h"
#include "PidScanner.h"
#include "SshSettings.h"
#include "ZEPSSH2Tool.h"

namespace zep {
namespace companions {
namespace {

using Clock = std::chrono::steady_clock;

// Output of one stream kept for the caller at most; the rest is read and dropped.
constexpr size_t kOutputCap = 32u << 20;

// The connection check codes.
constexpr int kInitFailed = -1;
constexpr int kConnectFailed = -2;
constexpr int kSessionFailed = -3;
constexpr int kNoPasswordMethod = -4;
constexpr int kPtyFailed = -5;
constexpr int kPasswordRefused = -6;
constexpr int kChannelFailed = -7;
constexpr int kShellFailed = -8;

void Trace(bool verbose, const std::string& text) {
    if (!verbose) return;
    std::fprintf(stdout, "SSH2: %s\n", text.c_str());
    std::fflush(stdout);
}

void Warn(const std::string& text) {
    std::fprintf(stderr, "CZEPSSH2Tool: %s\n", text.c_str());
    std::fflush(stderr);
}

std::string LastError(LIBSSH2_SESSION* sshSession) {
    char* message = nullptr;
    int length = 0;
    if (sshSession != nullptr) libssh2_session_last_error(sshSession, &message, &length, 0);
    return message != nullptr ? std::string(message, static_cast<size_t>(length)) : std::string();
}

int InitLibrary() {
    static std::once_flag once;
    static int result = -1;
    std::call_once(once, [] { result = libssh2_init(0); });
    return result;
}

// A TCP connection to host:port within timeoutMs, or -1.
int ConnectSocket(const std::string& host, int port, int timeoutMs, std::string* why) {
    struct addrinfo hints;
    memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* found = nullptr;
    int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) {
        *why = gai_strerror(rc);
        return -1;
    }
    int connected = -1;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (struct addrinfo* ai = found; ai != nullptr && connected < 0; ai = ai->ai_next) {
        int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) {
            *why = strerror(errno);
            continue;
        }
        int flags = fcntl(fd, F_GETFL, 0);
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        int error = 0;
        if (connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
                struct pollfd wait = {fd, POLLOUT, 0};
                int ready = left.count() > 0 ? poll(&wait, 1, static_cast<int>(left.count())) : 0;
                if (ready == 1) {
                    socklen_t size = sizeof(error);
                    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
                } else {
                    error = ready == 0 ? ETIMEDOUT : errno;
                }
            }
        }
        if (error == 0) {
            fcntl(fd, F_SETFL, flags);
            connected = fd;
        } else {
            *why = strerror(error);
            close(fd);
        }
    }
    freeaddrinfo(found);
    return connected;
}

std::string HomeFolder() {
    const char* home = getenv("HOME");
    if (home != nullptr && *home != 0) return home;
    struct passwd entry;
    struct passwd* result = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof(buffer), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr) {
        return result->pw_dir;
    }
    return std::string();
}

int KnownHostKeyType(int hostKeyType) {
    switch (hostKeyType) {
        case LIBSSH2_HOSTKEY_TYPE_RSA:
            return LIBSSH2_KNOWNHOST_KEY_SSHRSA;
        case LIBSSH2_HOSTKEY_TYPE_DSS:
            return LIBSSH2_KNOWNHOST_KEY_SSHDSS;
#ifdef LIBSSH2_HOSTKEY_TYPE_ECDSA_256
        case LIBSSH2_HOSTKEY_TYPE_ECDSA_256:
            return LIBSSH2_KNOWNHOST_KEY_ECDSA_256;
        case LIBSSH2_HOSTKEY_TYPE_ECDSA_384:
            return LIBSSH2_KNOWNHOST_KEY_ECDSA_384;
        case LIBSSH2_HOSTKEY_TYPE_ECDSA_521:
            return LIBSSH2_KNOWNHOST_KEY_ECDSA_521;
#endif
#ifdef LIBSSH2_HOSTKEY_TYPE_ED25519
        case LIBSSH2_HOSTKEY_TYPE_ED25519:
            return LIBSSH2_KNOWNHOST_KEY_ED25519;
#endif
        default:
            return 0;
    }
}

class KnownHosts {
  public:
    explicit KnownHosts(LIBSSH2_SESSION* sshSession) : hosts_(libssh2_knownhost_init(sshSession)) {}
    ~KnownHosts() {
        if (hosts_ != nullptr) libssh2_knownhost_free(hosts_);
    }
    KnownHosts(const KnownHosts&) = delete;
    KnownHosts& operator=(const KnownHosts&) = delete;
    LIBSSH2_KNOWNHOSTS* get() { return hosts_; }

  private:
    LIBSSH2_KNOWNHOSTS* hosts_;
};

// Loads the file line by line: a line that libssh2 cannot read (a marker, a key type it does not know)
// is passed over instead of ending the reading, so no later entry is missed.
void LoadKnownHosts(LIBSSH2_KNOWNHOSTS* hosts, const std::string& path) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        libssh2_knownhost_readline(hosts, line.c_str(), line.size(), LIBSSH2_KNOWNHOST_FILE_OPENSSH);
    }
}

// Adds one entry at the end of the file, leaving the user's other lines as they are.
bool AppendKnownHost(LIBSSH2_KNOWNHOSTS* hosts, struct libssh2_knownhost* entry, const std::string& folder,
                     const std::string& path) {
    char line[8192];
    size_t length = 0;
    if (libssh2_knownhost_writeline(hosts, entry, line, sizeof(line), &length,
                                    LIBSSH2_KNOWNHOST_FILE_OPENSSH) != 0) {
        return false;
    }
    mkdir(folder.c_str(), 0700);
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    // A last line without its line end would otherwise run into the new entry.
    struct stat info;
    bool ok = true;
    if (fstat(fd, &info) == 0 && info.st_size > 0) {
        int reader = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        char last = '\n';
        if (reader >= 0) {
            if (pread(reader, &last, 1, info.st_size - 1) != 1) last = '\n';
            close(reader);
        }
        if (last != '\n') ok = write(fd, "\n", 1) == 1;
    }
    ok = ok && write(fd, line, length) == static_cast<ssize_t>(length);
    close(fd);
    return ok;
}

// Accepts a known host whose key matches and remembers an unknown one; refuses a host whose key of the
// same type has changed.
int CheckHostKey(LIBSSH2_SESSION* sshSession, const std::string& host, int port, bool verbose) {
    size_t keyLength = 0;
    int hostKeyType = 0;
    const char* key = libssh2_session_hostkey(sshSession, &keyLength, &hostKeyType);
    int keyType = KnownHostKeyType(hostKeyType);
    if (key == nullptr || keyType == 0) {
        Warn("the host key of " + host + " is of a type that cannot be checked; the connection is refused.");
        return kSessionFailed;
    }
    KnownHosts hosts(sshSession);
    if (hosts.get() == nullptr) return kSessionFailed;
    std::string home = HomeFolder();
    std::string folder = home + "/.ssh";
    std::string path = folder + "/known_hosts";
    if (!home.empty()) LoadKnownHosts(hosts.get(), path);

    int typemask = LIBSSH2_KNOWNHOST_TYPE_PLAIN | LIBSSH2_KNOWNHOST_KEYENC_RAW | keyType;
    int check = libssh2_knownhost_checkp(hosts.get(), host.c_str(), port, key, keyLength, typemask, nullptr);
    if (check == LIBSSH2_KNOWNHOST_CHECK_MATCH) {
        Trace(verbose, "host key of " + host + " matches " + path);
        return 0;
    }
    if (check == LIBSSH2_KNOWNHOST_CHECK_MISMATCH) {
        Warn("the host key of " + host +
             " has changed; the connection is refused. If the change is expected, "
             "remove the old key of " +
             host + " from " + path + ".");
        return kSessionFailed;
    }
    if (check != LIBSSH2_KNOWNHOST_CHECK_NOTFOUND) {
        Warn("the host key of " + host + " cannot be checked; the connection is refused.");
        return kSessionFailed;
    }
    std::string name = port == 22 ? host : "[" + host + "]:" + std::to_string(port);
    struct libssh2_knownhost* entry = nullptr;
    bool remembered = !home.empty() &&
                      libssh2_knownhost_addc(hosts.get(), name.c_str(), nullptr, key, keyLength, nullptr, 0,
                                             typemask, &entry) == 0 &&
                      AppendKnownHost(hosts.get(), entry, folder, path);
    if (remembered) {
        Trace(verbose, "new host " + name + " remembered in " + path);
    } else {
        Trace(verbose, "new host " + name + " accepted, but it cannot be remembered in " + path);
    }
    return 0;
}

// One logged-in SSH connection; everything is released when it ends.
class Connection {
  public:
    Connection() = default;
    ~Connection() {
        if (sshSession_ != nullptr) {
            libssh2_session_set_blocking(sshSession_, 1);
            if (!abandoned_) libssh2_session_disconnect(sshSession_, "done");
            libssh2_session_free(sshSession_);
        }
        if (socket_ >= 0) close(socket_);
    }

    // For a server that no longer answers: cuts the connection, so that releasing the channels and the
    // SSH state fails at once instead of waiting for answers that will not come (and keeping them).
    void Abandon() {
        abandoned_ = true;
        if (socket_ >= 0) shutdown(socket_, SHUT_RDWR);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // 0 when logged in, otherwise a connection check code.
    int Open(const wchar_t* host, const wchar_t* user, const wchar_t* password, bool verbose) {
        if (InitLibrary() != 0) return kInitFailed;
        std::string hostName = WideToUtf8(host);
        std::string userName = WideToUtf8(user);
        std::string secret = WideToUtf8(password);
        int port = SshPort();
        timeoutMs_ = SshTimeoutMs();
        std::string why;
        socket_ = ConnectSocket(hostName, port, timeoutMs_, &why);
        if (socket_ < 0) {
            Trace(verbose, "cannot connect to " + hostName + ":" + std::to_string(port) + ": " + why);
            return kConnectFailed;
        }
        Trace(verbose, "connected to " + hostName + ":" + std::to_string(port));
        sshSession_ = libssh2_session_init_ex(nullptr, nullptr, nullptr, this);
        if (sshSession_ == nullptr) return kSessionFailed;
        libssh2_session_callback_set(sshSession_, LIBSSH2_CALLBACK_RECV, reinterpret_cast<void*>(&Receive));
        libssh2_session_set_blocking(sshSession_, 1);
        libssh2_session_set_timeout(sshSession_, timeoutMs_);
        if (libssh2_session_handshake(sshSession_, socket_) != 0) {
            Trace(verbose, "handshake failed: " + LastError(sshSession_));
            Abandon();
            return kSessionFailed;
        }
        int rc = CheckHostKey(sshSession_, hostName, port, verbose);
        if (rc != 0) return rc;
        const char* methods =
            libssh2_userauth_list(sshSession_, userName.c_str(), static_cast<unsigned int>(userName.size()));
        if (methods == nullptr) {
            if (libssh2_userauth_authenticated(sshSession_)) return 0;
            Trace(verbose, "no authentication methods: " + LastError(sshSession_));
            return kSessionFailed;
        }
        std::string offered = std::string(",") + methods + ",";
        if (offered.find(",password,") == std::string::npos) {
            Trace(verbose, std::string("password authentication is not offered (") + methods + ")");
            return kNoPasswordMethod;
        }
        if (libssh2_userauth_password_ex(sshSession_, userName.c_str(),
                                         static_cast<unsigned int>(userName.size()), secret.c_str(),
                                         static_cast<unsigned int>(secret.size()), nullptr) != 0) {
            Trace(verbose, "password authentication failed: " + LastError(sshSession_));
            return kPasswordRefused;
        }
        Trace(verbose, "logged in as " + userName);
        return 0;
    }

    LIBSSH2_SESSION* sshSession() const { return sshSession_; }
    // When the server last sent anything at all (data, an answer to a sign-of-life request, ...).
    Clock::time_point lastHeard() const { return lastHeard_; }
    int socket() const { return socket_; }
    int timeoutMs() const { return timeoutMs_; }

  private:
    // The SSH library's socket reads, noting every byte that arrives: only this sees the answers that
    // the library takes in while it looks for channel data.
    static ssize_t Receive(libssh2_socket_t socket, void* buffer, size_t length, int flags, void** abstract) {
        ssize_t n = recv(socket, buffer, length, flags);
        if (n < 0) return errno == EWOULDBLOCK ? -EAGAIN : -errno;
        if (n > 0 && abstract != nullptr && *abstract != nullptr) {
            static_cast<Connection*>(*abstract)->lastHeard_ = Clock::now();
        }
        return n;
    }

    int socket_ = -1;
    bool abandoned_ = false;
    Clock::time_point lastHeard_ = Clock::now();
    LIBSSH2_SESSION* sshSession_ = nullptr;
    int timeoutMs_ = kDefaultSshTimeoutMs;
};

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

using Sink = std::function<void(const char* data, size_t length)>;

// Waits until the socket can be used in the directions that libssh2 is blocked on: 1 when it can,
// 0 after timeoutMs, -1 on a socket failure.
int WaitSocket(const Connection& connection, int timeoutMs) {
    struct pollfd wait = {connection.socket(), 0, 0};
    int directions = libssh2_session_block_directions(connection.sshSession());
    if (directions & LIBSSH2_SESSION_BLOCK_INBOUND) wait.events |= POLLIN;
    if (directions & LIBSSH2_SESSION_BLOCK_OUTBOUND) wait.events |= POLLOUT;
    if (wait.events == 0) wait.events = POLLIN;
    int ready = poll(&wait, 1, timeoutMs);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    if (ready > 0 && (wait.revents & (POLLERR | POLLNVAL)) != 0) return -1;
    return ready > 0 ? 1 : 0;
}

// Runs one command on an exec channel and hands its output to the sinks as it comes. While the
// command is silent the server is asked for a sign of life now and then; when nothing at all comes
// back for the time-out, the server is taken as gone. Returns 0 with the exit status set, or a code.
int RunRemote(Connection& connection, const std::string& command, const Sink& onStdout, const Sink& onStderr,
              int* exitStatus, bool verbose) {
    LIBSSH2_SESSION* sshSession = connection.sshSession();
    Channel channel(libssh2_channel_open_session(sshSession));
    if (channel.get() == nullptr) {
        Trace(verbose, "cannot open a channel: " + LastError(sshSession));
        return kChannelFailed;
    }
    if (libssh2_channel_exec(channel.get(), command.c_str()) != 0) {
        Trace(verbose, "the command was refused: " + LastError(sshSession));
        return kSshExecRefused;
    }
    Trace(verbose, "running: " + command);

    int timeoutMs = connection.timeoutMs();
    int intervalS = timeoutMs / 3000 < 2 ? 2 : timeoutMs / 3000;
    libssh2_keepalive_config(sshSession, 1, static_cast<unsigned int>(intervalS));
    auto silentLimit =
        std::chrono::milliseconds(timeoutMs > 3000 * intervalS ? timeoutMs : 3000 * intervalS) +
        std::chrono::seconds(1);
    libssh2_session_set_blocking(sshSession, 0);
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
            Trace(verbose, "the connection broke: " + LastError(sshSession));
            break;
        }
        // The end comes after all data; what arrived with it was read in this pass unless progress says
        // more may be queued.
        if (libssh2_channel_eof(channel.get()) && !progress) break;
        if (progress) continue;
        if (WaitSocket(connection, 1000) < 0) {
            result = kSshServerSilent;
            break;
        }
        auto lastHeard = connection.lastHeard() > started ? connection.lastHeard() : started;
        if (Clock::now() - lastHeard > silentLimit) {
            Trace(verbose, "the server stopped answering");
            result = kSshServerSilent;
            break;
        }
        int nextS = 0;
        libssh2_keepalive_send(sshSession, &nextS);
    }
    libssh2_session_set_blocking(sshSession, 1);
    if (result != 0) {
        connection.Abandon();
        return result;
    }
    libssh2_channel_close(channel.get());
    libssh2_channel_wait_closed(channel.get());
    *exitStatus = libssh2_channel_get_exit_status(channel.get());
    char* signal = nullptr;
    libssh2_channel_get_exit_signal(channel.get(), &signal, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (signal != nullptr) {
        Trace(verbose, std::string("the command ended by signal ") + signal);
        libssh2_free(sshSession, signal);
        *exitStatus = -1;
    }
    Trace(verbose, "exit status " + std::to_string(*exitStatus));
    return 0;
}

wchar_t* NewWide(const std::string& utf8) {
    std::wstring wide = Utf8ToWide(utf8);
    wchar_t* out = new wchar_t[wide.size() + 1];
    CopyWideCut(wide, out, wide.size() + 1);
    return out;
}

void AppendCapped(std::string& into, const char* data, size_t length) {
    size_t room = into.size() < kOutputCap ? kOutputCap - into.size() : 0;
    into.append(data, length < room ? length : room);
}

class File {
  public:
    File() = default;
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    bool Open(const std::string& path) {
        file_ = std::fopen(path.c_str(), "wb");
        return file_ != nullptr;
    }
    void Write(const char* data, size_t length) {
        if (file_ == nullptr) return;
        std::fwrite(data, 1, length, file_);
        std::fflush(file_);
    }
    void Close() {
        if (file_ != nullptr) std::fclose(file_);
        file_ = nullptr;
    }

  private:
    FILE* file_ = nullptr;
};

// Closes the process-id file when the launch ends, and removes it unless an id was written to it.
class ProcessIdFileCleanup {
  public:
    ProcessIdFileCleanup(File& file, const std::string& path, const PidScanner& scanner)
        : file_(file), path_(path), scanner_(scanner) {}
    ~ProcessIdFileCleanup() {
        file_.Close();
        if (!scanner_.found() && !path_.empty()) unlink(path_.c_str());
    }
    ProcessIdFileCleanup(const ProcessIdFileCleanup&) = delete;
    ProcessIdFileCleanup& operator=(const ProcessIdFileCleanup&) = delete;

  private:
    File& file_;
    const std::string& path_;
    const PidScanner& scanner_;
};

std::string LocalPath(const wchar_t* path) {
    std::string narrow = WideToSystem(path);
    return MapLibraryPath(narrow.c_str());
}

int CheckConnection(const wchar_t* host, const wchar_t* user, const wchar_t* password) {
    Connection connection;
    int rc = connection.Open(host, user, password, false);
    if (rc != 0) return rc;
    Channel channel(libssh2_channel_open_session(connection.sshSession()));
    if (channel.get() == nullptr) return kChannelFailed;
    if (libssh2_channel_request_pty(channel.get(), "vt100") != 0) return kPtyFailed;
    if (libssh2_channel_shell(channel.get()) != 0) return kShellFailed;
    return 0;
}

int CommandStdoutStderr(const wchar_t* host, const wchar_t* user, const wchar_t* password,
                        const wchar_t* command, wchar_t*& stdoutText, wchar_t*& stderrText, int& exitCode,
                        bool verbose) {
    int rc = kSessionFailed;
    std::string out;
    std::string err;
    try {
        Connection connection;
        rc = connection.Open(host, user, password, verbose);
        if (rc == 0) {
            rc = RunRemote(
                connection, WideToUtf8(command), [&out](const char* d, size_t n) { AppendCapped(out, d, n); },
                [&err](const char* d, size_t n) { AppendCapped(err, d, n); }, &exitCode, verbose);
        }
        stdoutText = NewWide(out);
        stderrText = NewWide(err);
    } catch (...) {
        // Out of memory: whatever could be given is given.
    }
    return rc;
}

int CommandOutputToFile(const wchar_t* host, const wchar_t* user, const wchar_t* password,
                        const wchar_t* command, const wchar_t* consoleFile, const wchar_t* pidFile,
                        int& exitCode, bool redirectConsole, bool verbose) {
    std::string consolePath = LocalPath(consoleFile);
    std::string pidPath = LocalPath(pidFile);
    File console;
    if (redirectConsole && !consolePath.empty() && !console.Open(consolePath)) {
        Warn("cannot write the console file " + consolePath + ": " + strerror(errno));
        return kSshLocalFileFailed;
    }
    File pid;
    if (!pidPath.empty() && !pid.Open(pidPath)) {
        Warn("cannot write the process-id file " + pidPath + ": " + strerror(errno));
        return kSshLocalFileFailed;
    }
    std::string remote = WideToUtf8(command);
    if (remote.find("$!") != std::string::npos) remote += "\nwait $!";

    PidScanner scanner;
    // However the launch ends without an id (a refused log-in, a broken connection, a command that
    // reports none), no file is left that would look like one: not an empty one, nor an earlier one.
    ProcessIdFileCleanup cleanup(pid, pidPath, scanner);
    Connection connection;
    int rc = connection.Open(host, user, password, verbose);
    if (rc != 0) return rc;
    bool toFile = redirectConsole && !consolePath.empty();
    auto showConsole = [&](const char* data, size_t length) {
        if (toFile) {
            console.Write(data, length);
        } else {
            std::fwrite(data, 1, length, stdout);
            std::fflush(stdout);
        }
    };
    auto onStdout = [&](const char* data, size_t length) {
        showConsole(data, length);
        std::string found = scanner.Feed(data, length);
        if (!found.empty()) {
            Trace(verbose, "launcher process id " + found);
            found += "\n";
            pid.Write(found.data(), found.size());
            pid.Close();
        }
    };
    return RunRemote(connection, remote, onStdout, showConsole, &exitCode, verbose);
}

}  // namespace
}  // namespace companions
}  // namespace zep

int CZEPSSH2Tool::SSH2_CheckConnection(const wchar_t* host, const wchar_t* user, const wchar_t* password) {
    try {
        return zep::companions::CheckConnection(host, user, password);
    } catch (...) {
        return -3;
    }
}

// Returns 0 when the command was run (whatever its exit status), otherwise a connection code (-1 to -7)
// or -9 (command refused) or -10 (the server stopped answering). Both texts are given on return (empty
// when there was no output); exitCode is -1 unless the command ended normally.
int CZEPSSH2Tool::SSH2_RemoteCommandStdoutStderr(const wchar_t* host, const wchar_t* user,
                                                 const wchar_t* password, const wchar_t* command,
                                                 wchar_t*& stdoutText, wchar_t*& stderrText, int& exitCode,
                                                 bool verbose, bool option) {
    (void)option;
    stdoutText = nullptr;
    stderrText = nullptr;
    exitCode = -1;
    return zep::companions::CommandStdoutStderr(host, user, password, command, stdoutText, stderrText,
                                                exitCode, verbose);
}

// Starts the command, writes the launcher's process id (found between the mpiexec tags) to pidFile as
// soon as it appears, and follows the remote console until the launcher ends: into consoleFile when
// redirectConsole is set, onto standard output otherwise. A command that reports a background job's
// id ("$!") gets a final "wait $!", so that exitCode is that job's (the launcher's) return value and
// not the echo's. Returns 0 when the command was run, -11 when a local file cannot be written (nothing
// is run then), otherwise as SSH2_RemoteCommandStdoutStderr.
int CZEPSSH2Tool::SSH2_RemoteCommandOutputToFile(const wchar_t* host, const wchar_t* user,
                                                 const wchar_t* password, const wchar_t* command,
                                                 const wchar_t* consoleFile, const wchar_t* pidFile,
                                                 int& exitCode, bool redirectConsole, bool option,
                                                 bool verbose) {
    (void)option;
    exitCode = -1;
    try {
        return zep::companions::CommandOutputToFile(host, user, password, command, consoleFile, pidFile,
                                                    exitCode, redirectConsole, verbose);
    } catch (...) {
        return -3;
    }
}
