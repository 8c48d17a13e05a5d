// Standard output capture, the text line end and the fault children on POSIX systems.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "TestUtil.h"

namespace zep {
namespace testing {

StdoutCapture::StdoutCapture() {
    std::cout.flush();
    std::fflush(stdout);
    char name[] = "/tmp/zep3d_stdout_XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) std::abort();
    path_ = name;
    savedFd_ = dup(STDOUT_FILENO);
    dup2(fd, STDOUT_FILENO);
    close(fd);
}

std::string StdoutCapture::Stop() {
    if (stopped_) return text_;
    stopped_ = true;
    std::cout.flush();
    std::fflush(stdout);
    dup2(savedFd_, STDOUT_FILENO);
    close(savedFd_);
    text_ = ReadFile(path_);
    unlink(path_.c_str());
    return text_;
}

std::string TextLineEnd() { return "\n"; }

bool CanRunFaultChildren(std::string* why) {
    if (why != nullptr) why->clear();
    return true;
}

std::string RunInFaultChild(const FaultChild& fault, const std::function<std::string()>& body) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return "child: no pipe";
    std::cout.flush();
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return "child: no process";
    }
    if (pid == 0) {
        close(pipeFds[0]);
        bool ready = true;
        if (fault.unprivileged && geteuid() == 0) {
            // The user and group "nobody"; supplementary groups go first, while that is still allowed.
            ready = setgroups(0, nullptr) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
        }
        if (ready && fault.fileSizeLimit >= 0) {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit limit;
            limit.rlim_cur = static_cast<rlim_t>(fault.fileSizeLimit);
            limit.rlim_max = static_cast<rlim_t>(fault.fileSizeLimit);
            ready = setrlimit(RLIMIT_FSIZE, &limit) == 0;
        }
        const std::string text = ready ? body() : "child: the fault could not be set up";
        FILE* out = fdopen(pipeFds[1], "w");
        if (out != nullptr) std::fwrite(text.data(), 1, text.size(), out);
        if (out != nullptr) std::fclose(out);
        // No exit handlers: they belong to the parent (the test framework, the leak check).
        _exit(0);
    }
    close(pipeFds[1]);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof(buffer))) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) text.append(buffer, static_cast<size_t>(n));
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child: ended abnormally (" + text + ")";
    return text;
}

}  // namespace testing
}  // namespace zep
