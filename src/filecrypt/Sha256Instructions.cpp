// The SHA-256 compression on the processor's SHA instructions: two rounds per round instruction, the
// message schedule four words at a time.
#include <cstddef>
#include <cstdint>

#include "filecrypt/CryptInstructions.h"
#include "filecrypt/CryptTables.h"
#include "platform/CpuFeatures.h"

#if ZEP3D_X86_INSTRUCTIONS
#include <immintrin.h>
#endif

namespace zep {
namespace filecrypt {

#if ZEP3D_X86_INSTRUCTIONS

namespace {

// Four rounds from the schedule words w (W[4g] to W[4g + 3], lowest lane first) with their constants.
// The round instruction keeps the working variables as the pairs (a, b, e, f) and (c, d, g, h) and
// takes two rounds' W + K from the low half of its third operand.
ZEP3D_TARGET_SHA ZEP3D_ALWAYS_INLINE void FourRounds(__m128i& abef, __m128i& cdgh, __m128i w, int g) {
    const __m128i wk = _mm_add_epi32(w, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSha256K + 4 * g)));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(wk, 0x0E));
}

// The next four schedule words from the four groups before them (w0 oldest, w3 newest): the first
// message instruction adds sigma0 of the following words to W[t - 16], the alignment brings W[t - 7],
// and the second message instruction adds sigma1 of W[t - 2].
ZEP3D_TARGET_SHA ZEP3D_ALWAYS_INLINE __m128i NextWords(__m128i w0, __m128i w1, __m128i w2, __m128i w3) {
    const __m128i t = _mm_add_epi32(_mm_sha256msg1_epu32(w0, w1), _mm_alignr_epi8(w3, w2, 4));
    return _mm_sha256msg2_epu32(t, w3);
}

}  // namespace

ZEP3D_TARGET_SHA void Sha256CompressBlocks(uint32_t state[8], const unsigned char* blocks, size_t count) {
    // Big-endian words of the message.
    const __m128i swap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    // From (a, b, c, d), (e, f, g, h) in memory order to the lanes, lowest first, (f, e, b, a) and
    // (h, g, d, c), through (b, a, d, c) and (h, g, f, e).
    __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
    __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
    const __m128i baLow = _mm_shuffle_epi32(abcd, 0xB1);
    const __m128i hgLow = _mm_shuffle_epi32(efgh, 0x1B);
    __m128i abef = _mm_alignr_epi8(baLow, hgLow, 8);
    __m128i cdgh = _mm_blend_epi16(hgLow, baLow, 0xF0);

    for (; count > 0; --count, blocks += 64) {
        const __m128i savedAbef = abef;
        const __m128i savedCdgh = cdgh;
        __m128i w[4];
        for (int i = 0; i < 4; ++i) {
            w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16 * i)), swap);
            FourRounds(abef, cdgh, w[i], i);
        }
        for (int g = 4; g < 16; ++g) {
            const __m128i next = NextWords(w[g & 3], w[(g + 1) & 3], w[(g + 2) & 3], w[(g + 3) & 3]);
            w[g & 3] = next;
            FourRounds(abef, cdgh, next, g);
        }
        abef = _mm_add_epi32(abef, savedAbef);
        cdgh = _mm_add_epi32(cdgh, savedCdgh);
    }

    // Back to (a, b, c, d), (e, f, g, h): the lanes (a, b, e, f) and (g, h, c, d) first.
    const __m128i abLow = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i cdHigh = _mm_shuffle_epi32(cdgh, 0xB1);
    abcd = _mm_blend_epi16(abLow, cdHigh, 0xF0);
    efgh = _mm_alignr_epi8(cdHigh, abLow, 8);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), abcd);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), efgh);
}

#else  // no SHA instructions in this build: UseShaInstructions() is always false.

void Sha256CompressBlocks(uint32_t*, const unsigned char*, size_t) {}

#endif

}  // namespace filecrypt
}  // namespace zep
