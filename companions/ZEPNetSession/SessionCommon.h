// The session companion's parts that its POSIX and Windows halves share: the name of the file that
// receives a launcher's console output in its run folder, and the report of a launcher that cannot start.
#ifndef ZEP3D_COMPANIONS_ZEPNETSESSION_SESSIONCOMMON_H_
#define ZEP3D_COMPANIONS_ZEPNETSESSION_SESSIONCOMMON_H_

#include <string>

namespace zep {
namespace companions {

// "console_redirect_YYYY-MM-DD_hh-mm-ss.txt" for the given local time, as the remote route names its
// console file.
std::string ConsoleFileName(int year, int month, int day, int hour, int minute, int second);

// Writes "CZEPNetSession::SpawnMPIProcess()-Cannot start "<launcher>": <why>" on standard error.
void ReportStartFailure(const std::string& launcher, const std::string& why);

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_ZEPNETSESSION_SESSIONCOMMON_H_
