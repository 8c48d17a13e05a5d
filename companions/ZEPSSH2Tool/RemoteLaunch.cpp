// The background launch's local side: the process-id scanner and the local files.
#include "RemoteLaunch.h"

namespace zep {
namespace companions {

std::string PidScanner::Feed(const char* data, size_t length) {
    if (found_) return std::string();
    seen_.append(data, length);
    static const std::string open = "<mpiexec>";
    static const std::string closing = "</mpiexec>";
    size_t start = seen_.find(open);
    if (start != std::string::npos) {
        size_t end = seen_.find(closing, start + open.size());
        if (end != std::string::npos) {
            std::string pid = seen_.substr(start + open.size(), end - start - open.size());
            bool digits = !pid.empty() && pid.find_first_not_of("0123456789") == std::string::npos;
            seen_.erase(0, end + closing.size());
            if (digits) {
                found_ = true;
                return pid;
            }
            return std::string();
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
