// What the remote shell companion needs from the system, one implementation per system
// (SshPlatformPosix.cpp, SshPlatformWin32.cpp): sockets for the SSH library, the user's home folder and
// the private files of the known hosts. Paths are UTF-8.
#ifndef ZEP3D_COMPANIONS_ZEPSSH2TOOL_SSHPLATFORM_H_
#define ZEP3D_COMPANIONS_ZEPSSH2TOOL_SSHPLATFORM_H_

#include <libssh2.h>

#include <string>

namespace zep {
namespace companions {

using SshSocket = libssh2_socket_t;

// The value of a socket that is not open.
SshSocket NoSocket();

// Starts the system's sockets and the SSH library, once per process; false when they cannot be had.
bool StartSshLibrary();

// A TCP connection to host:port made within timeoutMs, or NoSocket() with `why` set.
SshSocket ConnectSocket(const std::string& host, int port, int timeoutMs, std::string* why);
void CloseSocket(SshSocket socket);
// Ends both directions at once, so that whatever still waits on the socket fails without delay.
void ShutdownSocket(SshSocket socket);

// Waits until the socket can be read (and, with `write`, written): 1 when it can, 0 after timeoutMs,
// -1 on a socket failure.
int WaitSocket(SshSocket socket, bool read, bool write, int timeoutMs);

// Reads from the socket as the SSH library expects of its receive function: the number of bytes, 0 at
// the end, or a negative errno value (-EAGAIN when nothing has arrived).
ssize_t ReceiveSocket(SshSocket socket, void* buffer, size_t length, int flags);

// The user's home folder (HOME on POSIX, USERPROFILE on Windows), or the empty text when there is none.
std::string UserHomeFolder();

// The separator of the folders of a path on this system.
char PathSeparator();

enum class FileRead { kRead, kMissing, kFailed };

// Reads a whole file; `why` tells what failed.
FileRead ReadWholeFile(const std::string& path, std::string* text, std::string* why);

// Appends `text` to the file, creating its folder (for the owner only) and the file (readable and
// writable by the owner only) when they are missing. A last line without its line end gets one first.
bool AppendPrivateFile(const std::string& folder, const std::string& path, const std::string& text,
                       std::string* why);

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_ZEPSSH2TOOL_SSHPLATFORM_H_
