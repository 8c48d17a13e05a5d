// The process-wide hooks (debug-output sink, sleep, clock). Production code never sets them.
#include "platform/PlatformHooks.h"

#include <mutex>
#include <utility>

namespace zep {
namespace platform {
namespace {

std::mutex& HookMutex() {
    static std::mutex mutex;
    return mutex;
}

DebugOutputSink& Sink() {
    static DebugOutputSink sink;
    return sink;
}

SleepFunction& Sleeper() {
    static SleepFunction sleeper;
    return sleeper;
}

ClockFunction& Clock() {
    static ClockFunction clock;
    return clock;
}

// Copies the hook under the lock and calls it outside, so a hook may itself use the platform layer.
template <typename Fn>
Fn Snapshot(Fn& hook) {
    std::lock_guard<std::mutex> lock(HookMutex());
    return hook;
}

}  // namespace

void SetDebugOutputSink(DebugOutputSink sink) {
    std::lock_guard<std::mutex> lock(HookMutex());
    Sink() = std::move(sink);
}

void SetSleepFunction(SleepFunction fn) {
    std::lock_guard<std::mutex> lock(HookMutex());
    Sleeper() = std::move(fn);
}

void SetClockFunction(ClockFunction fn) {
    std::lock_guard<std::mutex> lock(HookMutex());
    Clock() = std::move(fn);
}

namespace hooks {

bool CallDebugSink(const char* text) {
    DebugOutputSink sink = Snapshot(Sink());
    if (!sink) return false;
    sink(text);
    return true;
}

bool CallSleep(int ms) {
    SleepFunction sleeper = Snapshot(Sleeper());
    if (!sleeper) return false;
    sleeper(ms);
    return true;
}

bool CallClock(LocalTime* out) {
    ClockFunction clock = Snapshot(Clock());
    if (!clock) return false;
    *out = clock();
    return true;
}

}  // namespace hooks
}  // namespace platform
}  // namespace zep
