// The session companion's system-independent part; the launcher is started by ZEPNetSessionPosix.cpp
// or ZEPNetSessionWin32.cpp.
#include "ZEPNetSession.h"

#include <cstdio>

#include "SessionCommon.h"

CZEPNetSession::CZEPNetSession() {}
CZEPNetSession::~CZEPNetSession() {}

namespace zep {
namespace companions {

std::string ConsoleFileName(int year, int month, int day, int hour, int minute, int second) {
    char name[96];
    std::snprintf(name, sizeof(name), "console_redirect_%04d-%02d-%02d_%02d-%02d-%02d.txt", year, month, day,
                  hour, minute, second);
    return name;
}

void ReportStartFailure(const std::string& launcher, const std::string& why) {
    std::fprintf(stderr, "CZEPNetSession::SpawnMPIProcess()-Cannot start \"%s\": %s\n", launcher.c_str(),
                 why.c_str());
    std::fflush(stderr);
}

}  // namespace companions
}  // namespace zep
