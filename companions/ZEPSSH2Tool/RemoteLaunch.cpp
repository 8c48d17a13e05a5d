// The background launch's local side: the process-id scanner and the local files.
#include "RemoteLaunch.h"

namespace zep {
namespace companions {

std::string PidScanner::Feed(const char* data, size_t length) {
    if (found_) return std::string();
    seen_.append(data, length);
    static const std::string open = "<mpiexec>";
    static const std::string closing = "</mpiexec>";
    // The id is what lies between a closing tag and the last opening tag before it; a pair around
    // something that is no id is dropped, and the search goes on behind it.
    for (;;) {
        const size_t end = seen_.find(closing);
        if (end == std::string::npos) break;
        const size_t start = end >= open.size() ? seen_.rfind(open, end - open.size()) : std::string::npos;
        std::string pid;
        if (start != std::string::npos) pid = seen_.substr(start + open.size(), end - start - open.size());
        seen_.erase(0, end + closing.size());
        if (!pid.empty() && pid.find_first_not_of("0123456789") == std::string::npos) {
            found_ = true;
            return pid;
        }
    }
    // Keep only what a tag that has begun may still need.
    if (seen_.size() > 65536) seen_.erase(0, seen_.size() - 64);
    return std::string();
}

bool OutputFile::Open(const std::string& path) {
    Close();
    file_ = std::fopen(path.c_str(), "wb");
    return file_ != nullptr;
}

void OutputFile::Write(const char* data, size_t length) {
    if (file_ == nullptr) return;
    std::fwrite(data, 1, length, file_);
    std::fflush(file_);
}

void OutputFile::Close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
}

ProcessIdFileCleanup::~ProcessIdFileCleanup() {
    file_.Close();
    if (!scanner_.found() && !path_.empty()) std::remove(path_.c_str());
}

}  // namespace companions
}  // namespace zep
