// The remote shell companion's system part on POSIX: BSD sockets with poll, HOME, and files made with
// open(2) so that they are private from the start.
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <mutex>

#include "SshPlatform.h"

namespace zep {
namespace companions {

SshSocket NoSocket() { return -1; }

bool StartSshLibrary() {
    static std::once_flag once;
    static int result = -1;
    std::call_once(once, [] { result = libssh2_init(0); });
    return result == 0;
}

SshSocket ConnectSocket(const std::string& host, int port, int timeoutMs, std::string* why) {
    struct addrinfo hints;
    memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* found = nullptr;
    int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) {
        *why = gai_strerror(rc);
        return -1;
    }
    int connected = -1;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (struct addrinfo* ai = found; ai != nullptr && connected < 0; ai = ai->ai_next) {
        int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) {
            *why = strerror(errno);
            continue;
        }
        int flags = fcntl(fd, F_GETFL, 0);
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        int error = 0;
        if (connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                struct pollfd wait = {fd, POLLOUT, 0};
                int ready = left.count() > 0 ? poll(&wait, 1, static_cast<int>(left.count())) : 0;
                if (ready == 1) {
                    socklen_t size = sizeof(error);
                    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
                } else {
                    error = ready == 0 ? ETIMEDOUT : errno;
                }
            }
        }
        if (error == 0) {
            fcntl(fd, F_SETFL, flags);
            connected = fd;
        } else {
            *why = strerror(error);
            close(fd);
        }
    }
    freeaddrinfo(found);
    return connected;
}

void CloseSocket(SshSocket socket) {
    if (socket >= 0) close(socket);
}

void ShutdownSocket(SshSocket socket) {
    if (socket >= 0) shutdown(socket, SHUT_RDWR);
}

int WaitSocket(SshSocket socket, bool read, bool write, int timeoutMs) {
    struct pollfd wait = {socket, 0, 0};
    if (read) wait.events |= POLLIN;
    if (write) wait.events |= POLLOUT;
    int ready = poll(&wait, 1, timeoutMs);
    if (ready < 0) return errno == EINTR ? 0 : -1;
    if (ready > 0 && (wait.revents & (POLLERR | POLLNVAL)) != 0) return -1;
    return ready > 0 ? 1 : 0;
}

ssize_t ReceiveSocket(SshSocket socket, void* buffer, size_t length, int flags) {
    ssize_t n = recv(socket, buffer, length, flags);
    if (n < 0) return errno == EWOULDBLOCK ? -EAGAIN : -errno;
    return n;
}

std::string UserHomeFolder() {
    const char* home = getenv("HOME");
    return home != nullptr ? std::string(home) : std::string();
}

char PathSeparator() { return '/'; }

FileRead ReadWholeFile(const std::string& path, std::string* text, std::string* why) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *why = strerror(errno);
        return errno == ENOENT ? FileRead::kMissing : FileRead::kFailed;
    }
    text->clear();
    char buffer[8192];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *why = strerror(errno);
            close(fd);
            return FileRead::kFailed;
        }
        if (n == 0) break;
        text->append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return FileRead::kRead;
}

bool AppendPrivateFile(const std::string& folder, const std::string& path, const std::string& text,
                       std::string* why) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        *why = strerror(errno);
        return false;
    }
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) {
        *why = strerror(errno);
        return false;
    }
    std::string line = text;
    struct stat info;
    char last = '\n';
    if (fstat(fd, &info) == 0 && info.st_size > 0 && pread(fd, &last, 1, info.st_size - 1) == 1 &&
        last != '\n') {
        line.insert(0, "\n");
    }
    bool ok = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    if (!ok) *why = strerror(errno);
    if (close(fd) != 0 && ok) {
        *why = strerror(errno);
        ok = false;
    }
    return ok;
}

}  // namespace companions
}  // namespace zep
