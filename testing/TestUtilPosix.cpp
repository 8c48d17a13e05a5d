// Standard output capture and the text line end on POSIX systems.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "TestUtil.h"

namespace zep {
namespace testing {

struct StdoutCapture::Impl {
    int savedFd = -1;
    std::string path;
};

StdoutCapture::StdoutCapture() : impl_(new Impl()) {
    std::cout.flush();
    std::fflush(stdout);
    char name[] = "/tmp/zep3d_stdout_XXXXXX";
    int fd = mkstemp(name);
    if (fd < 0) std::abort();
    impl_->path = name;
    impl_->savedFd = dup(STDOUT_FILENO);
    dup2(fd, STDOUT_FILENO);
    close(fd);
}

StdoutCapture::~StdoutCapture() {
    Stop();
    delete impl_;
}

std::string StdoutCapture::Stop() {
    if (stopped_) return text_;
    stopped_ = true;
    std::cout.flush();
    std::fflush(stdout);
    dup2(impl_->savedFd, STDOUT_FILENO);
    close(impl_->savedFd);
    text_ = ReadFile(impl_->path);
    unlink(impl_->path.c_str());
    return text_;
}

std::string TextLineEnd() { return "\n"; }

}  // namespace testing
}  // namespace zep
