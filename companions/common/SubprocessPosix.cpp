// Children started with posix_spawn and their file actions, read through pipes with poll, waited for
// with waitpid.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "Subprocess.h"

extern char** environ;

namespace zep {
namespace companions {
namespace {

// posix_spawn's file actions, released however the start ends.
class FileActions {
  public:
    FileActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
    ~FileActions() {
        if (ok_) posix_spawn_file_actions_destroy(&actions_);
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    bool ok() const { return ok_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_;
    bool ok_ = false;
};

void CloseFd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// A pipe whose two ends are not inherited by children (the child's end is given as a standard stream).
int MakePipe(int* readEnd, int* writeEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return errno;
    *readEnd = fds[0];
    *writeEnd = fds[1];
    return 0;
}

// Reads what is there; closes the descriptor at the end of the stream or on an error.
void ReadSome(int& fd, std::string& into, size_t cap) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof(buffer));
    if (n > 0) {
        size_t room = into.size() < cap ? cap - into.size() : 0;
        into.append(buffer, static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room);
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        CloseFd(fd);
    }
}

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() <= 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

Subprocess::~Subprocess() {
    CloseFd(outRead_);
    CloseFd(errRead_);
}

int Subprocess::Start(const std::vector<std::string>& argv, const SpawnOptions& options) {
    if (argv.empty() || pid_ > 0) return EINVAL;
    FileActions actions;
    if (!actions.ok()) return ENOMEM;
    int outWrite = -1;
    int errWrite = -1;
    int rc = 0;
    if (options.inputFromNull)
        rc = posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
    if (rc == 0 && !options.outputFile.empty()) {
        // Opened before the change of folder, so a relative path names the same file as for the caller.
        rc = posix_spawn_file_actions_addopen(actions.get(), 1, options.outputFile.c_str(),
                                              O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (rc == 0) rc = posix_spawn_file_actions_adddup2(actions.get(), 1, 2);
    } else if (rc == 0 && options.captureOutput) {
        rc = MakePipe(&outRead_, &outWrite);
        if (rc == 0) rc = MakePipe(&errRead_, &errWrite);
        if (rc == 0) rc = posix_spawn_file_actions_adddup2(actions.get(), outWrite, 1);
        if (rc == 0) rc = posix_spawn_file_actions_adddup2(actions.get(), errWrite, 2);
    }
#ifdef ZEP_HAVE_SPAWN_CLOSEFROM
    if (rc == 0 && options.closeOtherFiles) rc = posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);
#endif
    if (rc == 0 && !options.folder.empty())
        rc = posix_spawn_file_actions_addchdir_np(actions.get(), options.folder.c_str());

    if (rc == 0) {
        std::vector<std::string> args = argv;
        std::vector<char*> cargs;
        for (std::string& arg : args) cargs.push_back(&arg[0]);
        cargs.push_back(nullptr);
        pid_t pid = -1;
        rc = options.searchPath ? posix_spawnp(&pid, cargs[0], actions.get(), nullptr, cargs.data(), environ)
                                : posix_spawn(&pid, cargs[0], actions.get(), nullptr, cargs.data(), environ);
        if (rc == 0) {
            pid_ = pid;
            running_ = true;
        }
    }
    // The child holds its own copies of the writing ends: the reader sees the end of its output.
    CloseFd(outWrite);
    CloseFd(errWrite);
    if (rc != 0) {
        CloseFd(outRead_);
        CloseFd(errRead_);
    }
    return rc;
}

bool Subprocess::ReadOutput(std::string* out, std::string* err, size_t cap, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (outRead_ >= 0 || errRead_ >= 0) {
        int left = MillisecondsLeft(deadline);
        if (left <= 0) return false;
        struct pollfd fds[2];
        int* owners[2];
        std::string* targets[2];
        nfds_t count = 0;
        if (outRead_ >= 0) {
            fds[count] = {outRead_, POLLIN, 0};
            owners[count] = &outRead_;
            targets[count++] = out;
        }
        if (errRead_ >= 0) {
            fds[count] = {errRead_, POLLIN, 0};
            owners[count] = &errRead_;
            targets[count++] = err;
        }
        int ready = poll(fds, count, left);
        if (ready < 0 && errno != EINTR) break;
        for (nfds_t i = 0; ready > 0 && i < count; ++i) {
            if (fds[i].revents != 0) ReadSome(*owners[i], *targets[i], cap);
        }
    }
    return true;
}

void Subprocess::Ended(int status, bool known) {
    running_ = false;
    statusKnown_ = known;
    status_ = status;
}

bool Subprocess::Running() {
    if (!running_) return false;
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
        Ended(status, true);
    } else if (done < 0 && errno != EINTR) {
        Ended(0, false);  // reaped elsewhere
    }
    return running_;
}

bool Subprocess::WaitFor(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (!Running()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void Subprocess::Signal(int signal) {
    if (Running()) kill(pid_, signal);
}

void Subprocess::Kill() {
    if (!Running()) return;
    kill(pid_, SIGKILL);
    int status = 0;
    pid_t done;
    while ((done = waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
    }
    Ended(status, done == pid_);
}

int Subprocess::ExitCode() const {
    if (running_ || !statusKnown_ || !WIFEXITED(status_)) return -1;
    return WEXITSTATUS(status_);
}

}  // namespace companions
}  // namespace zep
