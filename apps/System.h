// What zep3dtool needs from the operating system beyond the library: the terminal (is a stream one,
// reading a password without echo), the launched processes it waits for, and private files.
// One implementation per system: SystemPosix.cpp, SystemWin32.cpp.
#ifndef ZEP3D_APPS_SYSTEM_H_
#define ZEP3D_APPS_SYSTEM_H_

#include <string>

namespace zep {
namespace apps {

// True when standard error (standard input) is a terminal (a console on Windows).
bool StderrIsTerminal();
bool StdinIsTerminal();

// Writes `prompt` to standard error and reads one line from the terminal on standard input with the
// echo turned off; the line end is not part of the result. The echo is turned back on before it
// returns, also when the read is interrupted. False when standard input is not a terminal or the read
// fails (end of input).
bool ReadPasswordNoEcho(const std::string& prompt, std::string* password);

// Creates a new file that only its owner can read and write (POSIX mode 0600 from the start, whatever
// the umask; on Windows the folder's permissions) and writes `content` into it. Fails, with the
// system's reason in `error`, when the file exists already or cannot be created, made private or
// written; a file it created is removed again then.
bool CreatePrivateFile(const std::string& path, const std::string& content, std::string* error);

// This process's id, for unique temporary file names.
long ProcessId();

// The processes that the library starts for a run (the launcher is started as a child of this process).
class LaunchedProcesses {
  public:
    LaunchedProcesses();
    ~LaunchedProcesses();
    LaunchedProcesses(const LaunchedProcesses&) = delete;
    LaunchedProcesses& operator=(const LaunchedProcesses&) = delete;

    // Call before the library starts the run, so that on Windows the processes it starts can be
    // followed (they join a job object of this process); does nothing on POSIX.
    void Watch();

    struct Result {
        int processes = 0;     // processes that ended
        int failed = 0;        // of those, the ones that did not end with exit code 0
        int firstFailure = 0;  // the exit code of the first that failed (128 + signal for a signal)
    };

    // Blocks until every process started since Watch() has ended, and says how they ended.
    Result WaitForAll();

  private:
    void* job_ = nullptr;
};

}  // namespace apps
}  // namespace zep

#endif  // ZEP3D_APPS_SYSTEM_H_
