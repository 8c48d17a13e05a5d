// Standard output capture and the text line end on Windows.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "TestUtil.h"

namespace zep {
namespace testing {

StdoutCapture::StdoutCapture() {
    std::cout.flush();
    std::fflush(stdout);
    char name[L_tmpnam] = {0};
    if (tmpnam_s(name, sizeof(name)) != 0) std::abort();
    path_ = name;
    // In text mode, as standard output is on a console or in a redirected file: _dup2 gives the
    // standard output the mode of this descriptor, so every "\n" reaches the file as "\r\n" and Stop()
    // can undo exactly that, leaving a "\r\n" the program wrote itself (system error texts) as "\r\n".
    int fd = _open(name, _O_CREAT | _O_TRUNC | _O_WRONLY | _O_TEXT, 0600);
    if (fd < 0) std::abort();
    savedFd_ = _dup(_fileno(stdout));
    _dup2(fd, _fileno(stdout));
    _close(fd);
}

std::string StdoutCapture::Stop() {
    if (stopped_) return text_;
    stopped_ = true;
    std::cout.flush();
    std::fflush(stdout);
    _dup2(savedFd_, _fileno(stdout));
    _close(savedFd_);
    text_ = ReadFile(path_);
    _unlink(path_.c_str());
    // Console output is in text mode: give the tests the line ends as the program wrote them.
    std::string plain;
    for (size_t i = 0; i < text_.size(); ++i) {
        if (text_[i] == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n') continue;
        plain += text_[i];
    }
    text_ = plain;
    return text_;
}

std::string TextLineEnd() { return "\r\n"; }

bool CanRunFaultChildren(std::string* why) {
    if (why != nullptr) {
        *why =
            "Windows has no file-size limit for a process, no /dev/full and no fork; the write faults "
            "are tested in the POSIX build";
    }
    return false;
}

std::string RunInFaultChild(const FaultChild&, const std::function<std::string()>&) {
    return "child: not on this system";
}

}  // namespace testing
}  // namespace zep
