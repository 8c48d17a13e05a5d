// The operating-system parts of zep3dtool on POSIX: termios for the password prompt, waitpid for the
// launched processes, chmod for the account file.
#include <errno.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
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

bool RestrictToOwner(const std::string& path) { return chmod(path.c_str(), S_IRUSR | S_IWUSR) == 0; }

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
