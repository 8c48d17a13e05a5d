// The test program's replacement of the global operator new and delete, with a one-shot failure.
#include "AllocationFailure.h"

#include <cstdlib>
#include <new>

namespace {

thread_local long g_countdown = 0;
thread_local bool g_failed = false;
thread_local long g_count = 0;

void* Allocate(std::size_t size) {
    if (g_countdown > 0 && --g_countdown == 0) {
        g_failed = true;
        throw std::bad_alloc();
    }
    ++g_count;
    void* p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace zep {
namespace toolkit {
namespace testing {

FailNthAllocation::FailNthAllocation(long n) {
    g_countdown = n;
    g_failed = false;
    g_count = 0;
}

FailNthAllocation::~FailNthAllocation() { g_countdown = 0; }

bool FailNthAllocation::Failed() const { return g_failed; }

long FailNthAllocation::Count() const { return g_count; }

}  // namespace testing
}  // namespace toolkit
}  // namespace zep
