// A program started as a child of the caller (POSIX, posix_spawn): its standard streams, working folder
// and inherited descriptors set up as asked; then left running, read from, or waited for.
#ifndef ZEP3D_COMPANIONS_COMMON_SUBPROCESS_H_
#define ZEP3D_COMPANIONS_COMMON_SUBPROCESS_H_

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace zep {
namespace companions {

// How a child starts. It always gets the caller's environment; a stream not named here is the caller's.
struct SpawnOptions {
    // A program name without "/" is looked for on PATH (otherwise it is a path from the caller's folder).
    bool searchPath = true;
    // Standard input from /dev/null.
    bool inputFromNull = false;
    // When not empty: standard output appended to this file (created with mode 0644), standard error
    // into the same file. A relative path is taken from the caller's folder, not from `folder`.
    std::string outputFile;
    // Standard output and error each into a pipe, read with ReadOutput. Not with outputFile.
    bool captureOutput = false;
    // The caller's descriptors from 3 on are closed in the child, where the system can do that (glibc
    // 2.34 and later); elsewhere only those marked close-on-exec are.
    bool closeOtherFiles = false;
    // The child's working folder; the caller's when empty.
    std::string folder;
};

class Subprocess {
  public:
    Subprocess() = default;
    // Closes the pipes of a captured output. A child that was not waited for is neither ended nor
    // reaped: it goes on running as the caller's child.
    ~Subprocess();
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    // Starts argv[0] with the arguments argv. Returns 0 when the child runs, otherwise the system's
    // error number (a stream or the folder that cannot be set up, a program that cannot be started),
    // and no child is left. REQUIRES: not started before.
    int Start(const std::vector<std::string>& argv, const SpawnOptions& options);

    // The child's process id; -1 before a successful Start.
    pid_t pid() const { return pid_; }

    // With captureOutput: reads standard output into `out` and standard error into `err`, keeping at
    // most `cap` bytes of each (the rest is read and dropped), until the child has closed both or
    // timeoutMs have passed. Returns false when the time ran out first.
    bool ReadOutput(std::string* out, std::string* err, size_t cap, int timeoutMs);

    // True while the child has not ended. An ended child is reaped here and its status kept.
    bool Running();

    // Waits at most timeoutMs (checking every 10 ms) for the child to end; true when it has ended.
    bool WaitFor(int timeoutMs);

    // Sends the signal to the child while it runs.
    void Signal(int signal);

    // Ends the child with SIGKILL, if it still runs, and reaps it.
    void Kill();

    // The child's exit code once it has ended normally; -1 while it runs, after a signal ended it, or
    // when it was reaped elsewhere.
    int ExitCode() const;

  private:
    void Ended(int status, bool known);

    pid_t pid_ = -1;
    bool running_ = false;
    bool statusKnown_ = false;
    int status_ = 0;
    int outRead_ = -1;
    int errRead_ = -1;
};

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_COMMON_SUBPROCESS_H_
