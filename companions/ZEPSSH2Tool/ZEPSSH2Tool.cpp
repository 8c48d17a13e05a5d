// The remote shell companion: its settings, and its operations on SshSession. The password is kept
// only in wiped buffers: its UTF-8 form for the log-in, released before the operation returns.
#include "ZEPSSH2Tool.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "CompanionSecret.h"
#include "CompanionText.h"
#include "RemoteLaunch.h"
#include "SshSession.h"
#include "SshSettings.h"

namespace {

std::atomic<int> g_port{zep::companions::kDefaultSshPort};
std::atomic<int> g_timeoutMs{zep::companions::kDefaultSshTimeoutMs};
// -1 while not set: the environment decides.
std::atomic<int> g_acceptNewHosts{-1};

}  // namespace

namespace zep {
namespace companions {

int SshPort() { return g_port.load(); }
int SshTimeoutMs() { return g_timeoutMs.load(); }

bool SshAcceptNewHosts() {
    int set = g_acceptNewHosts.load();
    return set >= 0 ? set == 1 : AcceptNewHostsByDefault();
}

namespace {

SshTarget Target(const wchar_t* host) {
    SshTarget target;
    target.host = WideToUtf8(host);
    target.port = SshPort();
    target.timeoutMs = SshTimeoutMs();
    target.acceptNewHosts = SshAcceptNewHosts();
    return target;
}

wchar_t* NewWide(const std::string& utf8) {
    std::wstring wide = Utf8ToWide(utf8);
    wchar_t* out = new wchar_t[wide.size() + 1];
    CopyWideCut(wide, out, wide.size() + 1);
    return out;
}

std::string LocalPath(const wchar_t* path) {
    std::string narrow = WideToSystem(path);
    return MapLibraryPath(narrow.c_str());
}

int CheckConnection(const wchar_t* host, const wchar_t* user, const wchar_t* password) {
    SecretText secret;
    WideToUtf8Secret(password, secret);
    SshSession session;
    int rc = session.Open(Target(host), WideToUtf8(user), secret, false);
    secret.Wipe();
    return rc != 0 ? rc : session.CheckShell();
}

int CommandStdoutStderr(const wchar_t* host, const wchar_t* user, const wchar_t* password,
                        const wchar_t* command, wchar_t*& stdoutText, wchar_t*& stderrText, int& exitCode,
                        bool verbose) {
    int rc = kSshSessionFailed;
    try {
        std::string out, err;
        {
            SecretText secret;
            WideToUtf8Secret(password, secret);
            rc = RunSshCommand(Target(host), WideToUtf8(user), secret, WideToUtf8(command), &out, &err,
                               &exitCode, verbose);
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
    OutputFile console;
    if (redirectConsole && !consolePath.empty() && !console.Open(consolePath)) {
        SshWarn("cannot write the console file " + consolePath + ": " + std::strerror(errno));
        return kSshLocalFileFailed;
    }
    OutputFile pid;
    if (!pidPath.empty() && !pid.Open(pidPath)) {
        SshWarn("cannot write the process-id file " + pidPath + ": " + std::strerror(errno));
        return kSshLocalFileFailed;
    }
    std::string remote = WideToUtf8(command);
    if (remote.find("$!") != std::string::npos) remote += "\nwait $!";

    PidScanner scanner;
    // However the launch ends without an id (a refused log-in, a broken connection, a command that
    // reports none), no file is left that would look like one: not an empty one, nor an earlier one.
    ProcessIdFileCleanup cleanup(pid, pidPath, scanner);
    SshSession session;
    SecretText secret;
    WideToUtf8Secret(password, secret);
    int rc = session.Open(Target(host), WideToUtf8(user), secret, verbose);
    secret.Wipe();
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
            SshTrace(verbose, "launcher process id " + found);
            found += "\n";
            pid.Write(found.data(), found.size());
            pid.Close();
        }
    };
    return session.Run(remote, onStdout, showConsole, &exitCode, verbose);
}

}  // namespace
}  // namespace companions
}  // namespace zep

CZEPSSH2Tool::CZEPSSH2Tool() {}
CZEPSSH2Tool::~CZEPSSH2Tool() {}

void CZEPSSH2Tool::SSH2_SetPort(int port) {
    g_port.store(port >= 1 && port <= 65535 ? port : zep::companions::kDefaultSshPort);
}

void CZEPSSH2Tool::SSH2_SetTimeout(int milliseconds) {
    g_timeoutMs.store(milliseconds > 0 ? milliseconds : zep::companions::kDefaultSshTimeoutMs);
}

void CZEPSSH2Tool::SSH2_SetAcceptNewHosts(bool accept) { g_acceptNewHosts.store(accept ? 1 : 0); }

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
