// Slurm on this machine (POSIX): its commands run with posix_spawnp, their output read through pipes
// within a time limit; the batch script is handed to sbatch in a private temporary file.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "CompanionText.h"
#include "SlurmJob.h"

extern char** environ;

namespace zep {
namespace companions {
namespace {

constexpr size_t kOutputCap = 1 << 20;

class Fd {
  public:
    Fd() = default;
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
    }
    int& get() { return fd_; }

  private:
    int fd_ = -1;
};

bool MakePipe(Fd& readEnd, Fd& writeEnd) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    readEnd.get() = fds[0];
    writeEnd.get() = fds[1];
    return true;
}

void ReadSome(Fd& fd, std::string& into) {
    char buffer[4096];
    ssize_t n = read(fd.get(), buffer, sizeof(buffer));
    if (n > 0) {
        size_t room = into.size() < kOutputCap ? kOutputCap - into.size() : 0;
        into.append(buffer, static_cast<size_t>(n) < room ? static_cast<size_t>(n) : room);
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        fd.Close();
    }
}

CommandResult RunCommand(const std::vector<std::string>& argv, int timeoutMs) {
    CommandResult result;
    if (argv.empty()) {
        result.startError = strerror(EINVAL);
        return result;
    }
    Fd outRead, outWrite, errRead, errWrite;
    if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite)) {
        result.startError = strerror(errno);
        return result;
    }
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        result.startError = strerror(ENOMEM);
        return result;
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), 2);
    std::vector<std::string> args = argv;
    std::vector<char*> cargs;
    for (std::string& arg : args) cargs.push_back(&arg[0]);
    cargs.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, cargs[0], &actions, nullptr, cargs.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        result.startError = strerror(rc);
        return result;
    }
    result.started = true;
    outWrite.Close();
    errWrite.Close();

    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (outRead.get() >= 0 || errRead.get() >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            result.timedOut = true;
            break;
        }
        struct pollfd fds[2];
        nfds_t count = 0;
        Fd* owners[2];
        if (outRead.get() >= 0) {
            fds[count] = {outRead.get(), POLLIN, 0};
            owners[count++] = &outRead;
        }
        if (errRead.get() >= 0) {
            fds[count] = {errRead.get(), POLLIN, 0};
            owners[count++] = &errRead;
        }
        int ready = poll(fds, count, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) break;
        for (nfds_t i = 0; ready > 0 && i < count; ++i) {
            if (fds[i].revents != 0) ReadSome(*owners[i], owners[i] == &outRead ? result.out : result.err);
        }
    }
    // Both outputs are closed: the program has ended or is about to. Past the limit it is killed.
    int status = 0;
    for (;;) {
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) break;
        if (result.timedOut || std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        PauseMs(10);
    }
    if (!result.timedOut && WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    return result;
}

std::string WriteTemporaryFile(const std::string& text) {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/zephpc_job_XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0) return std::string();
    size_t written = 0;
    while (written < text.size()) {
        ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        written += static_cast<size_t>(n);
    }
    close(fd);
    if (written != text.size()) {
        unlink(name.data());
        return std::string();
    }
    return std::string(name.data());
}

void RemoveTemporaryFile(const std::string& path) {
    if (!path.empty()) unlink(path.c_str());
}

std::string LocalNodeName() {
    char name[256] = {0};
    if (gethostname(name, sizeof(name) - 1) != 0) return "localhost";
    std::string host(name);
    return host.substr(0, host.find('.'));
}

class LocalSlurmHost : public SlurmHost {
  public:
    CommandResult Run(const std::vector<std::string>& argv, int timeoutMs) override {
        return RunCommand(argv, timeoutMs);
    }

    CommandResult Submit(const std::vector<std::string>& options, const std::string& script,
                         int timeoutMs) override {
        std::string path = WriteTemporaryFile(script);
        if (path.empty()) {
            CommandResult result;
            result.started = true;
            result.err = std::string("cannot write the batch script: ") + strerror(errno);
            return result;
        }
        std::vector<std::string> argv = {"sbatch"};
        argv.insert(argv.end(), options.begin(), options.end());
        argv.push_back(path);
        CommandResult result = RunCommand(argv, timeoutMs);
        RemoveTemporaryFile(path);  // sbatch keeps its own copy
        return result;
    }

    bool ReadCompletedJobLines(const std::string& path, long jobId, std::string* text) override {
        (void)jobId;
        std::ifstream in(path, std::ios::binary);
        if (!in) return false;
        std::ostringstream content;
        content << in.rdbuf();
        *text = content.str();
        return true;
    }

    std::string LocalNode() override { return LocalNodeName(); }
    std::string NodePath(const std::string& path) override { return MapLibraryPath(path.c_str()); }
};

}  // namespace

std::unique_ptr<SlurmHost> NewLocalSlurmHost() { return std::unique_ptr<SlurmHost>(new LocalSlurmHost()); }

void PauseMs(int ms) {
    struct timespec request;
    request.tv_sec = ms / 1000;
    request.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (nanosleep(&request, &request) != 0 && errno == EINTR) {
    }
}

}  // namespace companions
}  // namespace zep
