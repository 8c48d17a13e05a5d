// Remote shell companion: commands on a Linux machine over SSH with password authentication.
#ifndef ZEP3D_COMPANIONS_ZEPSSH2TOOL_H_
#define ZEP3D_COMPANIONS_ZEPSSH2TOOL_H_

#include "ZEPCompanionExport.h"

class ZEPSSH2TOOL_API CZEPSSH2Tool {
  public:
    CZEPSSH2Tool();
    ~CZEPSSH2Tool();

    // The SSH port of every later connection in this process: 22 unless set; a value outside 1 to 65535
    // gives 22 back.
    static void SSH2_SetPort(int port);

    // The time-out of every later connection in this process, in milliseconds (30000 unless set; 0 or
    // less gives the default back): the longest wait for the connection, for each answer of the server
    // while a connection is made, and for any sign of life while a command runs. A command that runs
    // longer keeps its connection as long as the server answers.
    static void SSH2_SetTimeout(int milliseconds);

    // Whether a host that the user's known_hosts does not name is accepted (its key is then added to the
    // file) or refused (-3) by every later connection in this process. Unless set, new hosts are accepted
    // unless the environment variable ZEP_SSH_ACCEPT_NEW_HOSTS is "0" or "no". A known host is always
    // held to its recorded keys, and a connection without a usable known_hosts is refused (-3).
    static void SSH2_SetAcceptNewHosts(bool accept);

    // Checks that a shell can be opened on the host: 0 when usable, otherwise one of -1 (library
    // start-up), -2 (connect), -3 (SSH handshake, or the host key refused or not checkable), -4 (no
    // password authentication), -5 (PTY request), -6 (password refused), -7 (channel), -8 (shell request).
    int SSH2_CheckConnection(const wchar_t* host, const wchar_t* user, const wchar_t* password);

    // Runs one shell command line. Returns 0 when the command was run. stdoutText and stderrText, when
    // not null on return, are new arrays that the caller releases with array delete.
    int SSH2_RemoteCommandStdoutStderr(const wchar_t* host, const wchar_t* user, const wchar_t* password,
                                       const wchar_t* command, wchar_t*& stdoutText, wchar_t*& stderrText,
                                       int& exitCode, bool verbose, bool option);

    // Runs the command that starts the remote launcher in the background and echoes its process id
    // between mpiexec tags: the console output goes to consoleFile (when redirectConsole is true) and
    // the process id to pidFile. exitCode receives the launcher's return value.
    int SSH2_RemoteCommandOutputToFile(const wchar_t* host, const wchar_t* user, const wchar_t* password,
                                       const wchar_t* command, const wchar_t* consoleFile,
                                       const wchar_t* pidFile, int& exitCode, bool redirectConsole,
                                       bool option, bool verbose);
};

#endif  // ZEP3D_COMPANIONS_ZEPSSH2TOOL_H_
