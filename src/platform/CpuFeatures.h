// What the processor offers beyond the baseline instruction set, and the function attributes that let
// one function use such instructions while the rest of the library is built for the baseline.
#ifndef ZEP3D_PLATFORM_CPUFEATURES_H_
#define ZEP3D_PLATFORM_CPUFEATURES_H_

// ZEP3D_X86_INSTRUCTIONS is 1 where the compiler can build single functions for the x86 AES and SHA
// instructions (GCC and clang, MinGW included, on x86-64); the code that uses them is compiled only
// then. ZEP3D_TARGET_AES and ZEP3D_TARGET_SHA mark such functions (and the inline helpers they call).
#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#define ZEP3D_X86_INSTRUCTIONS 1
#define ZEP3D_TARGET_AES __attribute__((target("aes,sse4.1,ssse3")))
#define ZEP3D_TARGET_SHA __attribute__((target("sha,sse4.1,ssse3")))
#define ZEP3D_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ZEP3D_X86_INSTRUCTIONS 0
#define ZEP3D_TARGET_AES
#define ZEP3D_TARGET_SHA
#define ZEP3D_ALWAYS_INLINE inline
#endif

namespace zep {
namespace platform {

// Instruction groups the crypt kit can use, each with what its code needs besides (SSSE3 and SSE4.1).
struct CpuFeatures {
    bool aes = false;  // AES round instructions
    bool sha = false;  // SHA-256 message and round instructions
};

// The features of the processor this process runs on, asked once (CPUID); all false where the build
// cannot use them.
const CpuFeatures& GetCpuFeatures();

}  // namespace platform
}  // namespace zep

#endif  // ZEP3D_PLATFORM_CPUFEATURES_H_
