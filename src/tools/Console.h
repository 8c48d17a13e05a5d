// Standard output of the run set-up and launch: formatted printing and stream output mixed in program
// order, whatever the host program did to the synchronisation of the two.
#ifndef ZEP3D_TOOLS_CONSOLE_H_
#define ZEP3D_TOOLS_CONSOLE_H_

#include <ostream>

namespace zep {
namespace tools {

// printf to standard output, after any pending stream output.
void Print(const char* format, ...);

// Standard output as a stream, after any pending formatted output.
std::ostream& Stream();

// Flushes standard output, both kinds.
void Flush();

}  // namespace tools
}  // namespace zep

#endif  // ZEP3D_TOOLS_CONSOLE_H_
