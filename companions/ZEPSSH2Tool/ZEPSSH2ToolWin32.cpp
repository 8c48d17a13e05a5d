// The remote shell companion in the Windows build has no SSH backend: every operation fails as the
// SSH library's start-up would (-1, "Fail to initialize libssh2.").
#include "ZEPSSH2Tool.h"

int CZEPSSH2Tool::SSH2_CheckConnection(const wchar_t* host, const wchar_t* user, const wchar_t* password) {
    (void)host;
    (void)user;
    (void)password;
    return -1;
}

int CZEPSSH2Tool::SSH2_RemoteCommandStdoutStderr(const wchar_t* host, const wchar_t* user,
                                                 const wchar_t* password, const wchar_t* command,
                                                 wchar_t*& stdoutText, wchar_t*& stderrText, int& exitCode,
                                                 bool verbose, bool option) {
    (void)host;
    (void)user;
    (void)password;
    (void)command;
    (void)verbose;
    (void)option;
    stdoutText = nullptr;
    stderrText = nullptr;
    exitCode = -1;
    return -1;
}

int CZEPSSH2Tool::SSH2_RemoteCommandOutputToFile(const wchar_t* host, const wchar_t* user,
                                                 const wchar_t* password, const wchar_t* command,
                                                 const wchar_t* consoleFile, const wchar_t* pidFile,
                                                 int& exitCode, bool redirectConsole, bool option,
                                                 bool verbose) {
    (void)host;
    (void)user;
    (void)password;
    (void)command;
    (void)consoleFile;
    (void)pidFile;
    (void)redirectConsole;
    (void)option;
    (void)verbose;
    exitCode = -1;
    return -1;
}
