// Storage requests of the two STL writers, with the limit that tests may set.
#include "draw/DrawMemory.h"

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

namespace zep {
namespace draw {
namespace {

std::atomic<std::size_t> g_limit{0};

bool MayAllocateFloats(std::size_t count) {
    return count <= std::numeric_limits<std::size_t>::max() / sizeof(float) &&
           MayAllocate(count * sizeof(float));
}

}  // namespace

bool MayAllocate(std::size_t bytes) {
    std::size_t limit = g_limit.load(std::memory_order_relaxed);
    return limit == 0 || bytes <= limit;
}

void SetAllocationLimitForTesting(std::size_t bytes) { g_limit.store(bytes, std::memory_order_relaxed); }

float* AllocateZeroedFloats(std::size_t count) {
    if (!MayAllocateFloats(count)) return nullptr;
    return static_cast<float*>(std::calloc(count, sizeof(float)));
}

float* NewFloatArray(std::size_t count) {
    if (!MayAllocateFloats(count)) return nullptr;
    return new (std::nothrow) float[count];
}

}  // namespace draw
}  // namespace zep
