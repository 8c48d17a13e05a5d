// Test seam for running out of memory: the test program's operator new can be told to fail once.
#ifndef ZEP3D_TESTING_ALLOCATIONFAILURE_H_
#define ZEP3D_TESTING_ALLOCATIONFAILURE_H_

namespace zep {
namespace toolkit {
namespace testing {

// While the object lives, the n-th allocation through operator new on this thread (counting from 1)
// throws std::bad_alloc; all others succeed. n = 0 fails none and only counts.
class FailNthAllocation {
  public:
    explicit FailNthAllocation(long n);
    ~FailNthAllocation();
    FailNthAllocation(const FailNthAllocation&) = delete;
    FailNthAllocation& operator=(const FailNthAllocation&) = delete;

    // Whether the planned failure has happened.
    bool Failed() const;
    // Allocations made (successfully) since construction.
    long Count() const;
};

}  // namespace testing
}  // namespace toolkit
}  // namespace zep

#endif  // ZEP3D_TESTING_ALLOCATIONFAILURE_H_
