// Rijndael with a 16-byte block on the processor's AES instructions: the chaining modes over the round
// keys of the table code's key schedule. Every key and data byte goes through the instructions, never
// through a table, so the time taken does not depend on them.
#include "filecrypt/CryptInstructions.h"
#include "filecrypt/ZEP3DICryptMethod.h"
#include "platform/CpuFeatures.h"

#if ZEP3D_X86_INSTRUCTIONS
#include <immintrin.h>
#endif

namespace zep {
namespace filecrypt {

#if ZEP3D_X86_INSTRUCTIONS

namespace {

// Independent blocks (ECB both ways, CBC and CFB deciphering) go through the rounds this many at a
// time, so that the instructions of different blocks overlap in the pipeline.
constexpr int kLanes = 8;
constexpr size_t kLaneBytes = 16 * kLanes;

ZEP3D_TARGET_AES ZEP3D_ALWAYS_INLINE __m128i Load(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

ZEP3D_TARGET_AES ZEP3D_ALWAYS_INLINE void Store(unsigned char* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

template <int kRounds>
ZEP3D_TARGET_AES ZEP3D_ALWAYS_INLINE void LoadKeys(const unsigned char (*keys)[16], __m128i* k) {
    for (int r = 0; r <= kRounds; ++r) k[r] = Load(keys[r]);
}

// Rounds 1 to kRounds - 1 of one block whose first round key is already added.
template <int kRounds, bool kDecipher>
ZEP3D_TARGET_AES ZEP3D_ALWAYS_INLINE __m128i MiddleRounds(const __m128i* k, __m128i b) {
    for (int r = 1; r < kRounds; ++r) b = kDecipher ? _mm_aesdec_si128(b, k[r]) : _mm_aesenc_si128(b, k[r]);
    return b;
}

template <int kRounds, bool kDecipher>
ZEP3D_TARGET_AES ZEP3D_ALWAYS_INLINE __m128i Block(const __m128i* k, __m128i b) {
    b = MiddleRounds<kRounds, kDecipher>(k, _mm_xor_si128(b, k[0]));
    return kDecipher ? _mm_aesdeclast_si128(b, k[kRounds]) : _mm_aesenclast_si128(b, k[kRounds]);
}

// kLanes independent blocks, round by round. The round keys are read from their bytes where they are
// needed rather than held in variables, which would leave too few registers for the blocks (the
// compiler then keeps blocks, not keys, in memory).
template <int kRounds, bool kDecipher>
ZEP3D_TARGET_AES ZEP3D_ALWAYS_INLINE void Lanes(const unsigned char (*k)[16], __m128i* b) {
    const __m128i first = Load(k[0]);
    for (int i = 0; i < kLanes; ++i) b[i] = _mm_xor_si128(b[i], first);
    for (int r = 1; r < kRounds; ++r) {
        const __m128i key = Load(k[r]);
        for (int i = 0; i < kLanes; ++i) {
            b[i] = kDecipher ? _mm_aesdec_si128(b[i], key) : _mm_aesenc_si128(b[i], key);
        }
    }
    const __m128i last = Load(k[kRounds]);
    for (int i = 0; i < kLanes; ++i) {
        b[i] = kDecipher ? _mm_aesdeclast_si128(b[i], last) : _mm_aesenclast_si128(b[i], last);
    }
}

// Every block of ECB, each on its own.
template <int kRounds, bool kDecipher>
ZEP3D_TARGET_AES void Ecb(const __m128i* k, const unsigned char (*keyBytes)[16], const unsigned char* in,
                          unsigned char* out, size_t n) {
    size_t pos = 0;
    for (; pos + kLaneBytes <= n; pos += kLaneBytes) {
        __m128i b[kLanes];
        for (int i = 0; i < kLanes; ++i) b[i] = Load(in + pos + 16 * i);
        Lanes<kRounds, kDecipher>(keyBytes, b);
        for (int i = 0; i < kLanes; ++i) Store(out + pos + 16 * i, b[i]);
    }
    for (; pos < n; pos += 16) Store(out + pos, Block<kRounds, kDecipher>(k, Load(in + pos)));
}

// CBC and CFB enciphering, where each block needs the one before. The last round's key addition takes
// in what the next block's first round adds (the next plaintext block in CBC, this plaintext block in
// CFB, and round key 0), so that the block after starts from a second last-round instruction beside
// the one that gives the ciphertext, without an addition between the two blocks.
template <int kRounds, bool kCbc>
ZEP3D_TARGET_AES void EncryptChained(const __m128i* k, unsigned char* chain, const unsigned char* in,
                                     unsigned char* out, size_t n) {
    const __m128i first = k[0];
    const __m128i last = k[kRounds];
    __m128i c = Load(chain);
    __m128i s = _mm_xor_si128(c, first);
    if (kCbc) s = _mm_xor_si128(s, Load(in));
    for (size_t pos = 0;;) {
        const __m128i x = MiddleRounds<kRounds, false>(k, s);
        // CFB: C = E(chain) ^ P, the plaintext taken into the last round key.
        const __m128i cLast = kCbc ? last : _mm_xor_si128(last, Load(in + pos));
        c = _mm_aesenclast_si128(x, cLast);
        Store(out + pos, c);
        pos += 16;
        if (pos >= n) break;
        __m128i sLast = _mm_xor_si128(cLast, first);
        if (kCbc) sLast = _mm_xor_si128(sLast, Load(in + pos));
        s = _mm_aesenclast_si128(x, sLast);
    }
    Store(chain, c);
}

// CBC deciphering (P = D(C) ^ chain) and CFB deciphering (P = E(chain) ^ C), kLanes blocks at a time.
// The ciphertext blocks are read again after the rounds rather than kept in variables, for the same
// reason as the round keys; all of them are read before the first block is written, since `out` may be
// `in`.
template <int kRounds, bool kCbc>
ZEP3D_TARGET_AES void DecryptChained(const __m128i* k, const unsigned char (*keyBytes)[16],
                                     unsigned char* chain, const unsigned char* in, unsigned char* out,
                                     size_t n) {
    __m128i prev = Load(chain);
    size_t pos = 0;
    for (; pos + kLaneBytes <= n; pos += kLaneBytes) {
        const unsigned char* c = in + pos;
        __m128i b[kLanes];
        b[0] = kCbc ? Load(c) : prev;
        for (int i = 1; i < kLanes; ++i) b[i] = Load(c + 16 * (kCbc ? i : i - 1));
        Lanes<kRounds, kCbc>(keyBytes, b);
        b[0] = _mm_xor_si128(b[0], kCbc ? prev : Load(c));
        for (int i = 1; i < kLanes; ++i) b[i] = _mm_xor_si128(b[i], Load(c + 16 * (kCbc ? i - 1 : i)));
        prev = Load(c + 16 * (kLanes - 1));
        for (int i = 0; i < kLanes; ++i) Store(out + pos + 16 * i, b[i]);
    }
    for (; pos < n; pos += 16) {
        const __m128i x = Load(in + pos);
        const __m128i b = kCbc ? Block<kRounds, true>(k, x) : Block<kRounds, false>(k, prev);
        Store(out + pos, _mm_xor_si128(b, kCbc ? prev : x));
        prev = x;
    }
    Store(chain, prev);
}

template <int kRounds>
ZEP3D_TARGET_AES void EncryptModes(const AesRoundKeys& keys, unsigned int mode, unsigned char* chain,
                                   const unsigned char* in, unsigned char* out, size_t n) {
    __m128i k[kRounds + 1];
    LoadKeys<kRounds>(keys.enc, k);
    if (mode == ZEP3DFileCrypt::ECB) {
        Ecb<kRounds, false>(k, keys.enc, in, out, n);
    } else if (mode == ZEP3DFileCrypt::CBC) {
        EncryptChained<kRounds, true>(k, chain, in, out, n);
    } else if (mode == ZEP3DFileCrypt::CFB) {
        EncryptChained<kRounds, false>(k, chain, in, out, n);
    }
}

template <int kRounds>
ZEP3D_TARGET_AES void DecryptModes(const AesRoundKeys& keys, unsigned int mode, unsigned char* chain,
                                   const unsigned char* in, unsigned char* out, size_t n) {
    __m128i k[kRounds + 1];
    if (mode == ZEP3DFileCrypt::CFB) {
        // CFB deciphers with the block encipher.
        LoadKeys<kRounds>(keys.enc, k);
        DecryptChained<kRounds, false>(k, keys.enc, chain, in, out, n);
        return;
    }
    LoadKeys<kRounds>(keys.dec, k);
    if (mode == ZEP3DFileCrypt::ECB) {
        Ecb<kRounds, true>(k, keys.dec, in, out, n);
    } else if (mode == ZEP3DFileCrypt::CBC) {
        DecryptChained<kRounds, true>(k, keys.dec, chain, in, out, n);
    }
}

template <int kRounds, bool kDecipher>
ZEP3D_TARGET_AES void OneBlock(const unsigned char (*keys)[16], const unsigned char* in, unsigned char* out) {
    __m128i k[kRounds + 1];
    LoadKeys<kRounds>(keys, k);
    Store(out, Block<kRounds, kDecipher>(k, Load(in)));
}

}  // namespace

void AesEncrypt(const AesRoundKeys& keys, unsigned int mode, unsigned char* chain, const unsigned char* in,
                unsigned char* out, size_t n) {
    if (n == 0) return;
    switch (keys.rounds) {
        case 10:
            EncryptModes<10>(keys, mode, chain, in, out, n);
            break;
        case 12:
            EncryptModes<12>(keys, mode, chain, in, out, n);
            break;
        case 14:
            EncryptModes<14>(keys, mode, chain, in, out, n);
            break;
        default:
            break;
    }
}

void AesDecrypt(const AesRoundKeys& keys, unsigned int mode, unsigned char* chain, const unsigned char* in,
                unsigned char* out, size_t n) {
    if (n == 0) return;
    switch (keys.rounds) {
        case 10:
            DecryptModes<10>(keys, mode, chain, in, out, n);
            break;
        case 12:
            DecryptModes<12>(keys, mode, chain, in, out, n);
            break;
        case 14:
            DecryptModes<14>(keys, mode, chain, in, out, n);
            break;
        default:
            break;
    }
}

void AesEncryptBlock(const AesRoundKeys& keys, const unsigned char* in, unsigned char* out) {
    switch (keys.rounds) {
        case 10:
            OneBlock<10, false>(keys.enc, in, out);
            break;
        case 12:
            OneBlock<12, false>(keys.enc, in, out);
            break;
        case 14:
            OneBlock<14, false>(keys.enc, in, out);
            break;
        default:
            break;
    }
}

void AesDecryptBlock(const AesRoundKeys& keys, const unsigned char* in, unsigned char* out) {
    switch (keys.rounds) {
        case 10:
            OneBlock<10, true>(keys.dec, in, out);
            break;
        case 12:
            OneBlock<12, true>(keys.dec, in, out);
            break;
        case 14:
            OneBlock<14, true>(keys.dec, in, out);
            break;
        default:
            break;
    }
}

#else  // no AES instructions in this build: UseAesInstructions() is always false.

void AesEncrypt(const AesRoundKeys&, unsigned int, unsigned char*, const unsigned char*, unsigned char*,
                size_t) {}
void AesDecrypt(const AesRoundKeys&, unsigned int, unsigned char*, const unsigned char*, unsigned char*,
                size_t) {}
void AesEncryptBlock(const AesRoundKeys&, const unsigned char*, unsigned char*) {}
void AesDecryptBlock(const AesRoundKeys&, const unsigned char*, unsigned char*) {}

#endif

}  // namespace filecrypt
}  // namespace zep
