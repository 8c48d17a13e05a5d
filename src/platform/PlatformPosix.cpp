// The platform layer on POSIX systems: syslog for the debugger channel, nanosleep, localtime_r, errno.
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <cwchar>
#include <mutex>

#include "platform/Platform.h"
#include "platform/PlatformHooks.h"

namespace zep {
namespace platform {

void DebugOutput(const char* text) {
    if (text == nullptr) return;
    if (hooks::CallDebugSink(text)) return;
    syslog(LOG_DEBUG, "%s", text);
}

void SleepMs(int ms) {
    if (hooks::CallSleep(ms)) return;
    if (ms <= 0) return;
    struct timespec request;
    request.tv_sec = ms / 1000;
    request.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (nanosleep(&request, &request) != 0 && errno == EINTR) {
    }
}

LocalTime GetLocalTime() {
    LocalTime result;
    if (hooks::CallClock(&result)) return result;
    time_t now = time(nullptr);
    struct tm parts;
    if (localtime_r(&now, &parts) == nullptr) return result;
    result.year = parts.tm_year + 1900;
    result.month = parts.tm_mon + 1;
    result.day = parts.tm_mday;
    result.hour = parts.tm_hour;
    result.minute = parts.tm_min;
    result.second = parts.tm_sec;
    return result;
}

int LastSystemError() { return errno; }

std::string SystemErrorText(int code) {
    char buffer[512] = {0};
    // The GNU strerror_r may return a static text instead of filling the buffer; the XSI one fills it.
    auto pick = [&buffer](auto result) -> const char* {
        if constexpr (std::is_same_v<decltype(result), char*>) {
            return result != nullptr ? result : buffer;
        } else {
            return result == 0 ? buffer : "Unknown error";
        }
    };
    return pick(strerror_r(code, buffer, sizeof(buffer)));
}

std::string MapPath(const char* path) {
    if (path == nullptr) return std::string();
    std::string mapped(path);
    for (char& c : mapped) {
        if (c == '\\') c = '/';
    }
    return mapped;
}

int OpenStdio(FILE*& fp, const char* path, const char* mode) {
    fp = nullptr;
    if (path == nullptr || mode == nullptr) return EINVAL;
    errno = 0;
    fp = fopen(MapPath(path).c_str(), mode);
    if (fp != nullptr) return 0;
    return errno != 0 ? errno : EINVAL;
}

FILE* OpenStdioPlain(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    return fopen(MapPath(path).c_str(), mode);
}

bool OpenFileBuffer(std::filebuf& buffer, const char* path, std::ios_base::openmode mode) {
    if (path == nullptr) return false;
    // POSIX files are always shared between processes.
    return buffer.open(MapPath(path), mode) != nullptr;
}

int RemoveFile(const char* path) {
    if (path == nullptr) return -1;
    return remove(MapPath(path).c_str()) == 0 ? 0 : -1;
}

bool QueryFileStatus(const char* path, FileStatus* status) {
    if (path == nullptr) return false;
    struct stat info;
    if (stat(MapPath(path).c_str(), &info) != 0) return false;
    if (status != nullptr) {
        status->size = static_cast<int64_t>(info.st_size);
        status->isDirectory = S_ISDIR(info.st_mode);
        status->isRegular = S_ISREG(info.st_mode);
        status->permissions = static_cast<int>(info.st_mode & 0777);
    }
    return true;
}

bool QueryFileIdentity(const char* path, FileIdentity* identity) {
    if (path == nullptr) return false;
    struct stat info;
    if (stat(MapPath(path).c_str(), &info) != 0) return false;
    if (identity != nullptr) {
        identity->device = static_cast<uint64_t>(info.st_dev);
        identity->index = static_cast<uint64_t>(info.st_ino);
    }
    return true;
}

int CreateNewFile(const char* path, bool* exists, int permissions) {
    if (exists != nullptr) *exists = false;
    if (path == nullptr || permissions < -1 || permissions > 0777) return EINVAL;
    const std::string mapped = MapPath(path);
    // The umask can only take bits away, so the file never has more than `permissions`; fchmod then
    // gives back what the umask took.
    int fd = open(mapped.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                  permissions < 0 ? 0666 : static_cast<mode_t>(permissions));
    if (fd < 0) {
        const int error = errno;
        if (exists != nullptr) *exists = error == EEXIST;
        return error != 0 ? error : EIO;
    }
    if (permissions >= 0 && fchmod(fd, static_cast<mode_t>(permissions)) != 0) {
        const int error = errno != 0 ? errno : EIO;
        close(fd);
        unlink(mapped.c_str());
        return error;
    }
    close(fd);
    return 0;
}

int SetFilePermissions(const char* path, int permissions) {
    if (path == nullptr || permissions < 0 || permissions > 0777) return EINVAL;
    if (chmod(MapPath(path).c_str(), static_cast<mode_t>(permissions)) == 0) return 0;
    return errno != 0 ? errno : EIO;
}

int MoveFileOver(const char* from, const char* to) {
    if (from == nullptr || to == nullptr) return EINVAL;
    if (rename(MapPath(from).c_str(), MapPath(to).c_str()) == 0) return 0;
    return errno != 0 ? errno : EIO;
}

bool IsLeadByte(unsigned char c) {
    mbstate_t state;
    memset(&state, 0, sizeof(state));
    wchar_t wc = 0;
    char byte = static_cast<char>(c);
    // An incomplete character (-2) means the byte opens a character of several bytes.
    return mbrtowc(&wc, &byte, 1, &state) == static_cast<size_t>(-2);
}

size_t DecodeCharacter(const char* text, size_t length, wchar_t* out) {
    if (text == nullptr || length == 0 || out == nullptr) return 0;
    mbstate_t state;
    memset(&state, 0, sizeof(state));
    wchar_t wc = 0;
    size_t used = mbrtowc(&wc, text, length, &state);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) return 0;
    *out = wc;
    return used == 0 ? 1 : used;
}

void SecureWipe(void* data, size_t size) {
    if (data != nullptr && size != 0) explicit_bzero(data, size);
}

}  // namespace platform
}  // namespace zep
