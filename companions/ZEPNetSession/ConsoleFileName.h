// The name of the file that receives a launcher's console output in its run folder.
#ifndef ZEP3D_COMPANIONS_ZEPNETSESSION_CONSOLEFILENAME_H_
#define ZEP3D_COMPANIONS_ZEPNETSESSION_CONSOLEFILENAME_H_

#include <string>

namespace zep {
namespace companions {

// "console_redirect_YYYY-MM-DD_hh-mm-ss.txt" for the given local time, as the remote route names its
// console file.
std::string ConsoleFileName(int year, int month, int day, int hour, int minute, int second);

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_ZEPNETSESSION_CONSOLEFILENAME_H_
