// The remote shell companion's system part on Windows: Winsock with select, USERPROFILE, and files
// opened by their wide names.
#include <errno.h>
#include <wchar.h>
#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "CompanionText.h"
#include "SshPlatform.h"

namespace zep {
namespace companions {
namespace {

// The system's text for a Winsock or Windows error, without its line end.
std::string ErrorText(DWORD code) {
    char buffer[512] = {0};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                  0, buffer, sizeof(buffer), nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(code) : text;
}

std::wstring WidePath(const std::string& utf8) { return Utf8ToWide(utf8); }

}  // namespace

SshSocket NoSocket() { return INVALID_SOCKET; }

bool StartSshLibrary() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0 && libssh2_init(0) == 0;
    });
    return started;
}

SshSocket ConnectSocket(const std::string& host, int port, int timeoutMs, std::string* why) {
    struct addrinfo hints;
    ZeroMemory(&hints, sizeof(hints));
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    struct addrinfo* found = nullptr;
    int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (rc != 0) {
        *why = ErrorText(static_cast<DWORD>(rc));
        return INVALID_SOCKET;
    }
    SOCKET connected = INVALID_SOCKET;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (struct addrinfo* ai = found; ai != nullptr && connected == INVALID_SOCKET; ai = ai->ai_next) {
        SOCKET s = WSASocketW(ai->ai_family, ai->ai_socktype, ai->ai_protocol, nullptr, 0,
                              WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
        if (s == INVALID_SOCKET) {
            *why = ErrorText(static_cast<DWORD>(WSAGetLastError()));
            continue;
        }
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        int error = 0;
        if (connect(s, ai->ai_addr, static_cast<int>(ai->ai_addrlen)) != 0) {
            error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                fd_set writable, failed;
                FD_ZERO(&writable);
                FD_ZERO(&failed);
                FD_SET(s, &writable);
                FD_SET(s, &failed);
                long ms = left.count() > 0 ? static_cast<long>(left.count()) : 0;
                timeval limit = {ms / 1000, (ms % 1000) * 1000};
                int ready = select(0, nullptr, &writable, &failed, &limit);
                if (ready > 0 && FD_ISSET(s, &writable)) {
                    error = 0;
                } else if (ready > 0) {
                    int size = sizeof(error);
                    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0 ||
                        error == 0) {
                        error = WSAECONNREFUSED;
                    }
                } else {
                    error = ready == 0 ? WSAETIMEDOUT : WSAGetLastError();
                }
            }
        }
        if (error == 0) {
            nonBlocking = 0;
            ioctlsocket(s, FIONBIO, &nonBlocking);
            connected = s;
        } else {
            *why = ErrorText(static_cast<DWORD>(error));
            closesocket(s);
        }
    }
    freeaddrinfo(found);
    return connected;
}

void CloseSocket(SshSocket socket) {
    if (socket != INVALID_SOCKET) closesocket(socket);
}

void ShutdownSocket(SshSocket socket) {
    if (socket != INVALID_SOCKET) shutdown(socket, SD_BOTH);
}

int WaitSocket(SshSocket socket, bool read, bool write, int timeoutMs) {
    fd_set readable, writable, failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    if (read) FD_SET(socket, &readable);
    if (write) FD_SET(socket, &writable);
    FD_SET(socket, &failed);
    timeval limit = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int ready = select(0, read ? &readable : nullptr, write ? &writable : nullptr, &failed, &limit);
    if (ready < 0) return -1;
    if (ready > 0 && FD_ISSET(socket, &failed)) return -1;
    return ready > 0 ? 1 : 0;
}

ssize_t ReceiveSocket(SshSocket socket, void* buffer, size_t length, int flags) {
    int size = length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length);
    int n = recv(socket, static_cast<char*>(buffer), size, flags);
    if (n != SOCKET_ERROR) return n;
    switch (WSAGetLastError()) {
        case WSAEWOULDBLOCK:
            return -EAGAIN;
        case WSAEINTR:
            return -EINTR;
        case WSAECONNRESET:
        case WSAECONNABORTED:
            return -ECONNRESET;
        default:
            return -EIO;
    }
}

std::string UserHomeFolder() {
    const wchar_t* profile = _wgetenv(L"USERPROFILE");
    return profile != nullptr ? WideToUtf8(profile) : std::string();
}

char PathSeparator() { return '\\'; }

FileRead ReadWholeFile(const std::string& path, std::string* text, std::string* why) {
    FILE* file = _wfopen(WidePath(path).c_str(), L"rb");
    if (file == nullptr) {
        int error = errno;
        *why = std::strerror(error);
        return error == ENOENT ? FileRead::kMissing : FileRead::kFailed;
    }
    text->clear();
    char buffer[8192];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0) text->append(buffer, n);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        *why = "read error";
        return FileRead::kFailed;
    }
    return FileRead::kRead;
}

bool AppendPrivateFile(const std::string& folder, const std::string& path, const std::string& text,
                       std::string* why) {
    // The profile folder is the owner's own; a new folder and file inherit its access rights.
    if (_wmkdir(WidePath(folder).c_str()) != 0 && errno != EEXIST) {
        *why = std::strerror(errno);
        return false;
    }
    FILE* file = _wfopen(WidePath(path).c_str(), L"a+b");
    if (file == nullptr) {
        *why = std::strerror(errno);
        return false;
    }
    std::string line = text;
    if (std::fseek(file, -1, SEEK_END) == 0) {
        int last = std::fgetc(file);
        if (last != EOF && last != '\n') line.insert(0, "\n");
    }
    std::fseek(file, 0, SEEK_END);
    bool ok = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    if (std::fclose(file) != 0) ok = false;
    if (!ok) *why = std::strerror(errno);
    return ok;
}

}  // namespace companions
}  // namespace zep
