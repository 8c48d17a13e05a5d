// The run-time choice between the processor's AES and SHA instructions and the portable code.
#include "filecrypt/CryptInstructions.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/CpuFeatures.h"

namespace zep {
namespace filecrypt {
namespace {

// 0: not decided yet; otherwise kDecided with the usable paths' bits.
constexpr int kDecided = 1;
constexpr int kAes = 2;
constexpr int kSha = 4;

std::atomic<int> g_paths{0};

int Available() {
    const zep::platform::CpuFeatures& cpu = zep::platform::GetCpuFeatures();
    return kDecided | (cpu.aes ? kAes : 0) | (cpu.sha ? kSha : 0);
}

int Decide() {
    const char* forced = std::getenv("ZEP3D_PORTABLE_CRYPT");
    const bool portable = forced != nullptr && forced[0] != 0 && std::strcmp(forced, "0") != 0;
    int paths = portable ? kDecided : Available();
    int expected = 0;
    // A concurrent first call, or ForcePortableCrypt, may have decided already; that decision stands.
    if (!g_paths.compare_exchange_strong(expected, paths, std::memory_order_relaxed)) return expected;
    return paths;
}

inline int Paths() {
    int paths = g_paths.load(std::memory_order_relaxed);
    return paths != 0 ? paths : Decide();
}

}  // namespace

bool UseAesInstructions() { return (Paths() & kAes) != 0; }

bool UseShaInstructions() { return (Paths() & kSha) != 0; }

void ForcePortableCrypt(bool portable) {
    g_paths.store(portable ? kDecided : Available(), std::memory_order_relaxed);
}

}  // namespace filecrypt
}  // namespace zep
