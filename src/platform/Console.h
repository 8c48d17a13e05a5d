// Standard output of the library's messages and traces (run set-up and launch, file I/O, the STL
// writers): formatted printing and stream output mixed in program order, whatever the host program did
// to the synchronisation of the two.
#ifndef ZEP3D_PLATFORM_CONSOLE_H_
#define ZEP3D_PLATFORM_CONSOLE_H_

#include <ostream>

namespace zep {
namespace platform {

// printf to standard output, after any pending stream output.
void Print(const char* format, ...);

// Standard output as a stream, after any pending formatted output.
std::ostream& Stream();

// Flushes standard output, both kinds.
void Flush();

}  // namespace platform
}  // namespace zep

#endif  // ZEP3D_PLATFORM_CONSOLE_H_
