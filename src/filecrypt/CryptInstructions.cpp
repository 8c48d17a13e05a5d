// The run-time choice between the processor's AES and SHA instructions and the portable code.
#include "filecrypt/CryptInstructions.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/CpuFeatures.h"

namespace zep {
namespace filecrypt {
namespace {

// 0: not decided yet; otherwise kDecided with the usable paths' bits, and kForced when the portable
// code is forced.
constexpr int kDecided = 1;
constexpr int kAes = 2;
constexpr int kSha = 4;
constexpr int kForced = 8;

std::atomic<int> g_paths{0};

int Paths(bool portable) {
    if (portable) return kDecided | kForced;
    const zep::platform::CpuFeatures& cpu = zep::platform::GetCpuFeatures();
    return kDecided | (cpu.aes ? kAes : 0) | (cpu.sha ? kSha : 0);
}

int Decide() {
    const char* forced = std::getenv("ZEP3D_PORTABLE_CRYPT");
    int paths = Paths(forced != nullptr && forced[0] != 0 && std::strcmp(forced, "0") != 0);
    int expected = 0;
    // A concurrent first call, or ForcePortableCrypt, may have decided already; that decision stands.
    if (!g_paths.compare_exchange_strong(expected, paths, std::memory_order_relaxed)) return expected;
    return paths;
}

inline int CurrentPaths() {
    int paths = g_paths.load(std::memory_order_relaxed);
    return paths != 0 ? paths : Decide();
}

}  // namespace

bool UseAesInstructions() { return (CurrentPaths() & kAes) != 0; }

bool UseShaInstructions() { return (CurrentPaths() & kSha) != 0; }

bool ForcePortableCrypt(bool portable) {
    const int before = CurrentPaths();
    g_paths.store(Paths(portable), std::memory_order_relaxed);
    return (before & kForced) != 0;
}

}  // namespace filecrypt
}  // namespace zep
