// The test utilities that replace the library's platform hooks (debugger channel, sleep, clock); only
// test programs that link the library's objects have them.
#include "TestUtil.h"

namespace zep {
namespace testing {

DebugOutputCapture::DebugOutputCapture() : messages_(new std::vector<std::string>()) {
    std::vector<std::string>* messages = messages_;
    platform::SetDebugOutputSink([messages](const char* text) { messages->push_back(text); });
}

DebugOutputCapture::~DebugOutputCapture() {
    platform::SetDebugOutputSink(nullptr);
    delete messages_;
}

std::vector<std::string> DebugOutputCapture::Messages() const { return *messages_; }
void DebugOutputCapture::Clear() { messages_->clear(); }

SleepRecorder::SleepRecorder() : waits_(new std::vector<int>()) {
    std::vector<int>* waits = waits_;
    platform::SetSleepFunction([waits](int ms) { waits->push_back(ms); });
}

SleepRecorder::~SleepRecorder() {
    platform::SetSleepFunction(nullptr);
    delete waits_;
}

FixedClock::FixedClock(const platform::LocalTime& time) {
    platform::SetClockFunction([time]() { return time; });
}

FixedClock::~FixedClock() { platform::SetClockFunction(nullptr); }

}  // namespace testing
}  // namespace zep
