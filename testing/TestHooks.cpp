// The test utilities that replace the library's platform hooks (debugger channel, sleep, clock); only
// test programs that link the library's objects have them.
#include "TestUtil.h"

namespace zep {
namespace testing {

// The objects cannot be copied or moved, so the hooks may keep `this`.
DebugOutputCapture::DebugOutputCapture() {
    platform::SetDebugOutputSink([this](const char* text) { messages_.push_back(text); });
}
DebugOutputCapture::~DebugOutputCapture() { platform::SetDebugOutputSink(nullptr); }

SleepRecorder::SleepRecorder() {
    platform::SetSleepFunction([this](int ms) { waits_.push_back(ms); });
}
SleepRecorder::~SleepRecorder() { platform::SetSleepFunction(nullptr); }

FixedClock::FixedClock(const platform::LocalTime& time) {
    platform::SetClockFunction([time]() { return time; });
}

FixedClock::~FixedClock() { platform::SetClockFunction(nullptr); }

}  // namespace testing
}  // namespace zep
