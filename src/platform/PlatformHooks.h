// The process-wide test hooks of the platform layer, shared by both system implementations.
#ifndef ZEP3D_PLATFORM_PLATFORMHOOKS_H_
#define ZEP3D_PLATFORM_PLATFORMHOOKS_H_

#include "platform/Platform.h"

namespace zep {
namespace platform {
namespace hooks {

// Each returns true when a hook is set and has been called, so the system call is skipped.
bool CallDebugSink(const char* text);
bool CallSleep(int ms);
bool CallClock(LocalTime* out);

}  // namespace hooks
}  // namespace platform
}  // namespace zep

#endif  // ZEP3D_PLATFORM_PLATFORMHOOKS_H_
