// The one libFuzzer entry of every fuzz target: caps the input size and calls the target's Fuzz().
#ifndef ZEP3D_FUZZ_FUZZDRIVER_H_
#define ZEP3D_FUZZ_FUZZDRIVER_H_

#include <cstddef>
#include <cstdint>

#ifndef ZEP3D_FUZZ_MAX_INPUT
#define ZEP3D_FUZZ_MAX_INPUT 65536
#endif

// Defined by each target.
void Fuzz(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size <= ZEP3D_FUZZ_MAX_INPUT) Fuzz(data, size);
    return 0;
}

#endif  // ZEP3D_FUZZ_FUZZDRIVER_H_
