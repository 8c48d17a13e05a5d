// Storage requests of the two STL writers: a request that cannot be met becomes a refused call instead
// of an exception, and tests can make large requests fail without exhausting the machine.
#ifndef ZEP3D_DRAW_DRAWMEMORY_H_
#define ZEP3D_DRAW_DRAWMEMORY_H_

#include <cstddef>

namespace zep {
namespace draw {

// True when a request of `bytes` may be tried: always, unless a test has set a smaller limit.
bool MayAllocate(std::size_t bytes);

// Tests only: requests of more than `bytes` are refused from now on; 0 lifts the limit. Production
// code never sets it.
void SetAllocationLimitForTesting(std::size_t bytes);

// `count` floats, all 0, released with std::free; null when they cannot be had. Large blocks come
// from the system already zeroed, so a large node count costs no memory until nodes are set.
float* AllocateZeroedFloats(std::size_t count);

// `count` floats for arrays that are released with array delete; null when they cannot be had.
float* NewFloatArray(std::size_t count);

}  // namespace draw
}  // namespace zep

#endif  // ZEP3D_DRAW_DRAWMEMORY_H_
