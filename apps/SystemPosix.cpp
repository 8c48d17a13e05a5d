// The operating-system parts of zep3dtool on POSIX: termios for the password prompt, waitpid for the
// launched processes, private files created with their mode.
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>

#include "System.h"

namespace zep {
namespace apps {
namespace {

// The terminal settings to give back when a signal ends the prompt.
struct termios g_savedTerminal;
volatile sig_atomic_t g_terminalSaved = 0;

extern "C" void RestoreTerminalAndDie(int signal) {
    if (g_terminalSaved) tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
    ::signal(signal, SIG_DFL);
    raise(signal);
}

}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }
bool StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool ReadPasswordNoEcho(const std::string& prompt, std::string* password) {
    if (!StdinIsTerminal()) return false;
    struct termios quiet;
    if (tcgetattr(STDIN_FILENO, &g_savedTerminal) != 0) return false;
    quiet = g_savedTerminal;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    quiet.c_lflag |= ECHONL;
    g_terminalSaved = 1;
    struct sigaction restore;
    struct sigaction oldInt;
    struct sigaction oldTerm;
    struct sigaction oldHup;
    sigemptyset(&restore.sa_mask);
    restore.sa_flags = 0;
    restore.sa_handler = RestoreTerminalAndDie;
    sigaction(SIGINT, &restore, &oldInt);
    sigaction(SIGTERM, &restore, &oldTerm);
    sigaction(SIGHUP, &restore, &oldHup);

    std::fprintf(stderr, "%s", prompt.c_str());
    std::fflush(stderr);
    bool ok = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    if (ok) ok = static_cast<bool>(std::getline(std::cin, *password));
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_savedTerminal);
    g_terminalSaved = 0;
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    sigaction(SIGHUP, &oldHup, nullptr);
    if (ok && !password->empty() && password->back() == '\r') password->pop_back();
    return ok;
}

bool CreatePrivateFile(const std::string& path, const std::string& content, std::string* error) {
    const int fd =
        open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        *error = std::strerror(errno);
        return false;
    }
    // The umask may have taken bits away; the mode must be exactly owner read and write.
    bool ok = fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    size_t done = 0;
    while (ok && done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    if (!ok) *error = std::strerror(errno);
    if (close(fd) != 0 && ok) {
        *error = std::strerror(errno);
        ok = false;
    }
    if (!ok) unlink(path.c_str());
    return ok;
}

long ProcessId() { return static_cast<long>(getpid()); }

LaunchedProcesses::LaunchedProcesses() {}
LaunchedProcesses::~LaunchedProcesses() {}

// The launcher is this process's child already; nothing to prepare.
void LaunchedProcesses::Watch() {}

LaunchedProcesses::Result LaunchedProcesses::WaitForAll() {
    Result result;
    for (;;) {
        int status = 0;
        pid_t pid = waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR) continue;
            break;  // ECHILD: no child is left
        }
        ++result.processes;
        int code = 0;
        if (WIFEXITED(status)) {
            code = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            code = 128 + WTERMSIG(status);
        }
        if (code != 0 && result.failed++ == 0) result.firstFailure = code;
    }
    return result;
}

}  // namespace apps
}  // namespace zep
