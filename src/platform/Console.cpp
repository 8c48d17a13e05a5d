// Standard output in program order for formatted printing and stream output.
#include "platform/Console.h"

#include <cstdarg>
#include <cstdio>
#include <iostream>

namespace zep {
namespace platform {

void Print(const char* format, ...) {
    std::cout.flush();
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

std::ostream& Stream() {
    std::fflush(stdout);
    return std::cout;
}

void Flush() {
    std::cout.flush();
    std::fflush(stdout);
}

}  // namespace platform
}  // namespace zep
