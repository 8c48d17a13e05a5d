// Slurm on this machine (POSIX): its commands run as child processes, their output read through pipes
// within a time limit; the batch script is handed to sbatch in a private temporary file.
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "CompanionText.h"
#include "SlurmJob.h"
#include "Subprocess.h"

namespace zep {
namespace companions {
namespace {

constexpr size_t kOutputCap = 1 << 20;

CommandResult RunCommand(const std::vector<std::string>& argv, int timeoutMs) {
    CommandResult result;
    Subprocess child;
    SpawnOptions options;
    options.inputFromNull = true;
    options.captureOutput = true;
    int rc = child.Start(argv, options);
    if (rc != 0) {
        result.startError = strerror(rc);
        return result;
    }
    result.started = true;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    result.timedOut = !child.ReadOutput(&result.out, &result.err, kOutputCap, timeoutMs);
    // Both outputs are closed: the program has ended or is about to. Past the limit it is killed.
    if (!result.timedOut) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                          std::chrono::steady_clock::now());
        result.timedOut = !child.WaitFor(left.count() > 0 ? static_cast<int>(left.count()) : 0);
    }
    if (result.timedOut) {
        child.Kill();
    } else {
        result.exitStatus = child.ExitCode();
    }
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

}  // namespace companions
}  // namespace zep
