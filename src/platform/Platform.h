// What the library needs from the operating system, behind one interface: one implementation file per
// system (PlatformPosix.cpp, PlatformWin32.cpp), chosen by the build.
#ifndef ZEP3D_PLATFORM_PLATFORM_H_
#define ZEP3D_PLATFORM_PLATFORM_H_

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

namespace zep {
namespace platform {

// ---- Debugger output channel -------------------------------------------------------------------

// Sends one message to the debugger output channel (OutputDebugStringA on Windows, syslog at debug
// priority on POSIX), or to the sink when one is set. A null text sends nothing.
void DebugOutput(const char* text);

// Host programs and tests may take the messages instead of the system channel; an empty function
// gives the channel back to the system. Production code never sets it.
using DebugOutputSink = std::function<void(const char* text)>;
void SetDebugOutputSink(DebugOutputSink sink);

// ---- Time ---------------------------------------------------------------------------------------

// Pauses the calling thread for `ms` milliseconds (nothing for 0 or less), or calls the sleep hook
// when one is set.
void SleepMs(int ms);

using SleepFunction = std::function<void(int ms)>;
void SetSleepFunction(SleepFunction fn);

struct LocalTime {
    int year = 0;    // four digits
    int month = 0;   // 1 to 12
    int day = 0;     // 1 to 31
    int hour = 0;    // 0 to 23
    int minute = 0;  // 0 to 59
    int second = 0;  // 0 to 60
};

// The local date and time of this machine, or what the clock hook gives when one is set.
LocalTime GetLocalTime();

using ClockFunction = std::function<LocalTime()>;
void SetClockFunction(ClockFunction fn);

// ---- System errors ------------------------------------------------------------------------------

// The calling thread's last system error code (GetLastError on Windows, errno on POSIX).
int LastSystemError();

// The system's message text for a code, in the system's own words (FormatMessageA on Windows,
// strerror on POSIX); the text is returned as the system gives it, line end included where it has one.
std::string SystemErrorText(int code);

// ---- Files --------------------------------------------------------------------------------------

// The path as the host can open it: on POSIX every backslash becomes "/", on Windows the path is used
// as built. A null path maps to the empty text.
std::string MapPath(const char* path);

// Opens a standard I/O stream with fopen_s semantics: returns 0 and sets fp on success, otherwise
// returns the error number and sets fp to null.
int OpenStdio(FILE*& fp, const char* path, const char* mode);

// Opens a standard I/O stream like fopen: the stream, or null.
FILE* OpenStdioPlain(const char* path, const char* mode);

// Opens a stream's file buffer on the mapped path with shared access (other processes may read and
// write the file meanwhile). Returns true on success.
bool OpenFileBuffer(std::filebuf& buffer, const char* path, std::ios_base::openmode mode);

// remove() on the mapped path: 0 on success, -1 on failure.
int RemoveFile(const char* path);

struct FileStatus {
    int64_t size = 0;
    bool isDirectory = false;
    bool isRegular = false;  // a plain file: not a folder, a device or a pipe
    // Who may read, write and run it: the POSIX permission bits (0777); on Windows what _stat64 shows
    // (0444 for a read-only file, 0666 otherwise, with the run bits of programs).
    int permissions = 0;
};

// The file-status query (_stat64 on Windows, stat on POSIX): true when the path exists.
bool QueryFileStatus(const char* path, FileStatus* status = nullptr);

// What makes a file the file it is, whatever path names it: the device and inode on POSIX, the volume
// serial number and file index on Windows. Two paths with equal identities name one file (through a
// link, or spelt differently).
struct FileIdentity {
    uint64_t device = 0;
    uint64_t index = 0;
};

inline bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.index == b.index;
}

// The identity of the file the mapped path names (links followed): true when it exists and could be
// queried.
bool QueryFileIdentity(const char* path, FileIdentity* identity);

// Creates the mapped path as a new, empty file, never opening one that exists. Returns 0, or the system
// error code (as LastSystemError gives it); *exists is set when the code means that the name is taken.
// With `permissions` (0 to 0777) the file has exactly those POSIX permission bits, whatever the umask,
// and never more than those from its first moment; -1 leaves them to the system (0666 less the umask).
// Windows has no such bits: there `permissions` is ignored.
int CreateNewFile(const char* path, bool* exists, int permissions = -1);

// Sets the POSIX permission bits (0 to 0777) of the mapped path: 0, or the system error code. Windows
// has no such bits: there it does nothing and returns 0.
int SetFilePermissions(const char* path, int permissions);

// Renames the file `from` to `to` (both mapped), replacing a file named `to`, so that `to` is either
// the old or the new file, never a part of one. Returns 0, or the system error code.
int MoveFileOver(const char* from, const char* to);

// ---- Text ---------------------------------------------------------------------------------------

// True when the byte starts a multibyte (on Windows: double-byte) character of the system code page,
// so that it must be tested as a wide character.
bool IsLeadByte(unsigned char c);

// Decodes the character that starts at `text` (at most `length` bytes) in the system code page.
// Returns the number of bytes used and stores the character in `out`, or returns 0 when the bytes do
// not form a whole valid character.
size_t DecodeCharacter(const char* text, size_t length, wchar_t* out);

// ---- Secrets ------------------------------------------------------------------------------------

// Overwrites `size` bytes at `data` with zeros through the system's own wipe (explicit_bzero on POSIX,
// SecureZeroMemory on Windows), which the optimiser keeps even when the memory is never read again.
// A null `data` or a zero size does nothing.
void SecureWipe(void* data, size_t size);

// Wipes the whole capacity of a text (earlier, longer contents may sit behind its size) and leaves it
// empty.
void SecureWipe(std::string& text);
void SecureWipe(std::wstring& text);

}  // namespace platform
}  // namespace zep

#endif  // ZEP3D_PLATFORM_PLATFORM_H_
