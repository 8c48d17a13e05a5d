// The platform layer on Windows: OutputDebugStringA, Sleep, GetLocalTime, GetLastError/FormatMessageA,
// fopen_s and _stat64, file identities and replacing moves, IsDBCSLeadByte.
#include <share.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

#include "platform/Platform.h"
#include "platform/PlatformHooks.h"

namespace zep {
namespace platform {

void DebugOutput(const char* text) {
    if (text == nullptr) return;
    if (hooks::CallDebugSink(text)) return;
    ::OutputDebugStringA(text);
}

void SleepMs(int ms) {
    if (hooks::CallSleep(ms)) return;
    if (ms <= 0) return;
    ::Sleep(static_cast<DWORD>(ms));
}

LocalTime GetLocalTime() {
    LocalTime result;
    if (hooks::CallClock(&result)) return result;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    result.year = now.wYear;
    result.month = now.wMonth;
    result.day = now.wDay;
    result.hour = now.wHour;
    result.minute = now.wMinute;
    result.second = now.wSecond;
    return result;
}

int LastSystemError() { return static_cast<int>(::GetLastError()); }

std::string SystemErrorText(int code) {
    char buffer[1024] = {0};
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                    static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                    buffer, static_cast<DWORD>(sizeof(buffer) - 1), nullptr);
    return std::string(buffer, length);
}

std::string MapPath(const char* path) { return path == nullptr ? std::string() : std::string(path); }

int OpenStdio(FILE*& fp, const char* path, const char* mode) {
    fp = nullptr;
    if (path == nullptr || mode == nullptr) return EINVAL;
    errno_t result = fopen_s(&fp, path, mode);
    if (result != 0) fp = nullptr;
    return static_cast<int>(result);
}

FILE* OpenStdioPlain(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    return fopen(path, mode);
}

bool OpenFileBuffer(std::filebuf& buffer, const char* path, std::ios_base::openmode mode) {
    if (path == nullptr) return false;
#if defined(_MSC_VER)
    return buffer.open(path, mode, _SH_DENYNO) != nullptr;
#else
    // The MinGW runtime opens files without a sharing restriction.
    return buffer.open(path, mode) != nullptr;
#endif
}

int RemoveFile(const char* path) {
    if (path == nullptr) return -1;
    return remove(path) == 0 ? 0 : -1;
}

namespace {

// The type of the file a handle to the path has (FILE_TYPE_DISK for files and folders), or false when
// the path cannot be opened. No access is asked for, so a file that others have open can still be
// asked.
bool FileTypeOf(const char* path, DWORD* type) {
    HANDLE file = ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    *type = ::GetFileType(file);
    ::CloseHandle(file);
    return true;
}

}  // namespace

bool QueryFileStatus(const char* path, FileStatus* status) {
    if (path == nullptr) return false;
    // _stat64 misses some devices or shows them as plain files (under Wine, a host device reached
    // through a drive letter); the handle's file type tells them apart.
    DWORD type = FILE_TYPE_DISK;
    const bool opened = FileTypeOf(path, &type);
    struct _stat64 info;
    if (_stat64(path, &info) != 0) {
        if (!opened || type == FILE_TYPE_DISK) return false;
        if (status != nullptr) *status = FileStatus();
        return true;
    }
    if (status != nullptr) {
        status->size = static_cast<int64_t>(info.st_size);
        status->isDirectory = (info.st_mode & _S_IFDIR) != 0;
        status->isRegular = (info.st_mode & _S_IFMT) == _S_IFREG && (!opened || type == FILE_TYPE_DISK);
        status->permissions = static_cast<int>(info.st_mode & 0777);
    }
    return true;
}

bool QueryFileIdentity(const char* path, FileIdentity* identity) {
    if (path == nullptr) return false;
    // No access is asked for, so a file that others have open can still be queried; folders need the
    // backup-semantics flag to be opened at all.
    HANDLE file = ::CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = ::GetFileInformationByHandle(file, &info) != FALSE;
    ::CloseHandle(file);
    if (!known) return false;
    if (identity != nullptr) {
        identity->device = info.dwVolumeSerialNumber;
        identity->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    }
    return true;
}

int CreateNewFile(const char* path, bool* exists, int permissions) {
    if (exists != nullptr) *exists = false;
    if (path == nullptr || permissions < -1 || permissions > 0777) return ERROR_INVALID_PARAMETER;
    HANDLE file = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (exists != nullptr) *exists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return static_cast<int>(error);
    }
    ::CloseHandle(file);
    return 0;
}

int SetFilePermissions(const char* path, int permissions) {
    if (path == nullptr || permissions < 0 || permissions > 0777) return ERROR_INVALID_PARAMETER;
    return 0;
}

int MoveFileOver(const char* from, const char* to) {
    if (from == nullptr || to == nullptr) return ERROR_INVALID_PARAMETER;
    if (::MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    return static_cast<int>(::GetLastError());
}

bool IsLeadByte(unsigned char c) { return ::IsDBCSLeadByte(c) != FALSE; }

size_t DecodeCharacter(const char* text, size_t length, wchar_t* out) {
    if (text == nullptr || length == 0 || out == nullptr) return 0;
    int bytes = ::IsDBCSLeadByte(static_cast<unsigned char>(text[0])) ? 2 : 1;
    if (static_cast<size_t>(bytes) > length) return 0;
    wchar_t wc = 0;
    if (::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, bytes, &wc, 1) != 1) return 0;
    *out = wc;
    return static_cast<size_t>(bytes);
}

void SecureWipe(void* data, size_t size) {
    if (data != nullptr && size != 0) SecureZeroMemory(data, size);
}

}  // namespace platform
}  // namespace zep
