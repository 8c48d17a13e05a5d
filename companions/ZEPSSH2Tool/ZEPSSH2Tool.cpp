// The remote shell companion's settings; the connections are made by ZEPSSH2ToolPosix.cpp (libssh2)
// or refused by ZEPSSH2ToolWin32.cpp (no backend in that build).
#include "ZEPSSH2Tool.h"

#include <atomic>

#include "SshSettings.h"

namespace {

std::atomic<int> g_port{zep::companions::kDefaultSshPort};
std::atomic<int> g_timeoutMs{zep::companions::kDefaultSshTimeoutMs};

}  // namespace

namespace zep {
namespace companions {

int SshPort() { return g_port.load(); }
int SshTimeoutMs() { return g_timeoutMs.load(); }

}  // namespace companions
}  // namespace zep

CZEPSSH2Tool::CZEPSSH2Tool() {}
CZEPSSH2Tool::~CZEPSSH2Tool() {}

void CZEPSSH2Tool::SSH2_SetPort(int port) {
    g_port.store(port >= 1 && port <= 65535 ? port : zep::companions::kDefaultSshPort);
}

void CZEPSSH2Tool::SSH2_SetTimeout(int milliseconds) {
    g_timeoutMs.store(milliseconds > 0 ? milliseconds : zep::companions::kDefaultSshTimeoutMs);
}
