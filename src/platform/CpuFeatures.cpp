// The processor's feature flags through CPUID, the same on every system.
#include "platform/CpuFeatures.h"

#if ZEP3D_X86_INSTRUCTIONS
#include <cpuid.h>
#endif

namespace zep {
namespace platform {
namespace {

CpuFeatures Detect() {
    CpuFeatures features;
#if ZEP3D_X86_INSTRUCTIONS
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0) return features;
    const unsigned int maxLeaf = eax;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return features;
    const bool ssse3 = (ecx & (1u << 9)) != 0;
    const bool sse41 = (ecx & (1u << 19)) != 0;
    features.aes = ssse3 && sse41 && (ecx & (1u << 25)) != 0;
    if (maxLeaf >= 7) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        features.sha = ssse3 && sse41 && (ebx & (1u << 29)) != 0;
    }
#endif
    return features;
}

}  // namespace

const CpuFeatures& GetCpuFeatures() {
    static const CpuFeatures features = Detect();
    return features;
}

}  // namespace platform
}  // namespace zep
