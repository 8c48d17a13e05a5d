// A new file beside the target that replaces it only once complete.
#include "platform/ReplacementFile.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "platform/Platform.h"

namespace zep {
namespace platform {
namespace {

// Temporary names tried beside the target before giving up (each try fails only on a name in use).
constexpr int kTemporaryNameTries = 100;

// The owner's read and write bits: the new file needs them while it is written.
constexpr int kOwnerReadWrite = 0600;

}  // namespace

int ReplacementFile::Prepare(int permissions) {
    Discard();
    FileStatus status;
    const bool exists = QueryFileStatus(target_.c_str(), &status);
    if (exists && !status.isRegular && !status.isDirectory) return 0;
    if (permissions < 0 && exists && status.isRegular) permissions = status.permissions;
    // Bits the owner lacks (a read-only file) are taken away only when the file is complete; others
    // never get more than they will have.
    permissions_ = permissions >= 0 && (permissions & kOwnerReadWrite) != kOwnerReadWrite ? permissions : -1;
    const int create = permissions < 0 ? -1 : (permissions | kOwnerReadWrite);

    static std::atomic<unsigned> counter{0};
    const unsigned long long start =
        static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    int error = 0;
    for (int i = 0; i < kTemporaryNameTries; ++i) {
        char suffix[40];
        std::snprintf(suffix, sizeof(suffix), ".%llx.tmp", (start + ++counter) & 0xffffffffffULL);
        std::string candidate = target_ + suffix;
        bool taken = false;
        error = CreateNewFile(candidate.c_str(), &taken, create);
        if (error == 0) {
            temporary_.swap(candidate);
            return 0;
        }
        if (!taken) break;
    }
    return error;
}

int ReplacementFile::Commit() {
    if (temporary_.empty()) return 0;
    if (permissions_ >= 0) {
        const int error = SetFilePermissions(temporary_.c_str(), permissions_);
        if (error != 0) return error;
    }
    const int error = MoveFileOver(temporary_.c_str(), target_.c_str());
    if (error == 0) temporary_.clear();
    return error;
}

void ReplacementFile::Discard() {
    if (temporary_.empty()) return;
    RemoveFile(temporary_.c_str());
    temporary_.clear();
}

}  // namespace platform
}  // namespace zep
