// SHA-256 as FIPS 180-2 defines it: 64-byte blocks, 64 rounds, big-endian words.
#include "filecrypt/ZEP3DMessageDigestSHA.h"

#include <cstring>

#include "filecrypt/CryptInstructions.h"
#include "filecrypt/CryptTables.h"
#include "filecrypt/SecureWipe.h"
#include "platform/Platform.h"

namespace ZEP3DFileCrypt {

using zep::filecrypt::kSha256H0;
using zep::filecrypt::kSha256K;

namespace {

inline uint32_t Rotr(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

inline uint32_t LoadBE(const unsigned char* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline void StoreBE(uint32_t v, unsigned char* p) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

}  // namespace

CZEP3DMessageDigestSHA::CZEP3DMessageDigestSHA() {
    std::memset(m_buffer, 0, sizeof(m_buffer));
    Reset();
}

CZEP3DMessageDigestSHA::~CZEP3DMessageDigestSHA() {
    zep::filecrypt::SecureWipe(m_state, sizeof(m_state));
    zep::filecrypt::SecureWipe(m_buffer, sizeof(m_buffer));
}

void CZEP3DMessageDigestSHA::Reset() {
    std::memcpy(m_state, kSha256H0, sizeof(m_state));
    m_count[0] = 0;
    m_count[1] = 0;
    m_bDataAdded = false;
}

// The rounds rename the eight working variables instead of moving them. Sigma1(e) is computed as
// ((e ror 14 ^ e) ror 5 ^ e) ror 6 (and Sigma0 alike), and Maj(a, b, c) as ((a ^ b) & (b ^ c)) ^ b
// with b ^ c carried over from the round before: the same functions with fewer operations.
#define ZEP3D_SHA_ROUND(a, b, c, d, e, f, g, h, i, wi)                                                      \
    do {                                                                                                    \
        uint32_t t1 = h + Rotr(Rotr(Rotr(e, 14) ^ e, 5) ^ e, 6) + (((f ^ g) & e) ^ g) + kSha256K[i] + (wi); \
        uint32_t ab = a ^ b;                                                                                \
        uint32_t t2 = Rotr(Rotr(Rotr(a, 9) ^ a, 11) ^ a, 2) + ((ab & bc) ^ b);                              \
        bc = ab;                                                                                            \
        d += t1;                                                                                            \
        h = t1 + t2;                                                                                        \
    } while (0)
#define ZEP3D_SHA_s0(x) (Rotr(Rotr(x, 11) ^ (x), 7) ^ ((x) >> 3))
#define ZEP3D_SHA_s1(x) (Rotr(Rotr(x, 2) ^ (x), 17) ^ ((x) >> 10))
#define ZEP3D_SHA_W(i) \
    (w[(i)&15] += ZEP3D_SHA_s1(w[((i)-2) & 15]) + w[((i)-7) & 15] + ZEP3D_SHA_s0(w[((i)-15) & 15]))
#define ZEP3D_SHA_EIGHT(i, W)                                     \
    ZEP3D_SHA_ROUND(a, b, c, d, e, f, g, h, (i) + 0, W((i) + 0)); \
    ZEP3D_SHA_ROUND(h, a, b, c, d, e, f, g, (i) + 1, W((i) + 1)); \
    ZEP3D_SHA_ROUND(g, h, a, b, c, d, e, f, (i) + 2, W((i) + 2)); \
    ZEP3D_SHA_ROUND(f, g, h, a, b, c, d, e, (i) + 3, W((i) + 3)); \
    ZEP3D_SHA_ROUND(e, f, g, h, a, b, c, d, (i) + 4, W((i) + 4)); \
    ZEP3D_SHA_ROUND(d, e, f, g, h, a, b, c, (i) + 5, W((i) + 5)); \
    ZEP3D_SHA_ROUND(c, d, e, f, g, h, a, b, (i) + 6, W((i) + 6)); \
    ZEP3D_SHA_ROUND(b, c, d, e, f, g, h, a, (i) + 7, W((i) + 7))
#define ZEP3D_SHA_LOADED(i) w[i]

void CZEP3DMessageDigestSHA::Compress(const unsigned char* block) {
    uint32_t w[16];
    for (int i = 0; i < 16; ++i) w[i] = LoadBE(block + 4 * i);
    uint32_t a = m_state[0], b = m_state[1], c = m_state[2], d = m_state[3];
    uint32_t e = m_state[4], f = m_state[5], g = m_state[6], h = m_state[7];
    uint32_t bc = b ^ c;
    ZEP3D_SHA_EIGHT(0, ZEP3D_SHA_LOADED);
    ZEP3D_SHA_EIGHT(8, ZEP3D_SHA_LOADED);
    ZEP3D_SHA_EIGHT(16, ZEP3D_SHA_W);
    ZEP3D_SHA_EIGHT(24, ZEP3D_SHA_W);
    ZEP3D_SHA_EIGHT(32, ZEP3D_SHA_W);
    ZEP3D_SHA_EIGHT(40, ZEP3D_SHA_W);
    ZEP3D_SHA_EIGHT(48, ZEP3D_SHA_W);
    ZEP3D_SHA_EIGHT(56, ZEP3D_SHA_W);
    m_state[0] += a;
    m_state[1] += b;
    m_state[2] += c;
    m_state[3] += d;
    m_state[4] += e;
    m_state[5] += f;
    m_state[6] += g;
    m_state[7] += h;
}

#undef ZEP3D_SHA_ROUND
#undef ZEP3D_SHA_s0
#undef ZEP3D_SHA_s1
#undef ZEP3D_SHA_W
#undef ZEP3D_SHA_EIGHT
#undef ZEP3D_SHA_LOADED

void CZEP3DMessageDigestSHA::CompressBlocks(const unsigned char* blocks, size_t count) {
    if (zep::filecrypt::UseShaInstructions()) {
        zep::filecrypt::Sha256CompressBlocks(m_state, blocks, count);
        return;
    }
    for (; count > 0; --count, blocks += 64) Compress(blocks);
}

void CZEP3DMessageDigestSHA::AddData(const char* data, int length) {
    if (length < 1) {
        zep::platform::DebugOutput("CZEP3DMessageDigestSHA::AddData()-Data Length should be > 0!");
        return;
    }
    if (data == nullptr) return;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(data);
    size_t remaining = static_cast<size_t>(length);
    size_t used = (m_count[0] >> 3) & 63;
    uint32_t bits = static_cast<uint32_t>(length) << 3;
    m_count[0] += bits;
    if (m_count[0] < bits) ++m_count[1];
    m_count[1] += static_cast<uint32_t>(length) >> 29;

    if (used > 0) {
        size_t fill = 64 - used;
        if (remaining < fill) {
            std::memcpy(m_buffer + used, in, remaining);
            m_bDataAdded = true;
            return;
        }
        std::memcpy(m_buffer + used, in, fill);
        CompressBlocks(m_buffer, 1);
        in += fill;
        remaining -= fill;
    }
    const size_t whole = remaining / 64;
    if (whole > 0) {
        CompressBlocks(in, whole);
        in += 64 * whole;
        remaining -= 64 * whole;
    }
    if (remaining > 0) std::memcpy(m_buffer, in, remaining);
    m_bDataAdded = true;
}

void CZEP3DMessageDigestSHA::FinalDigest(char* out) {
    if (!m_bDataAdded) {
        zep::platform::DebugOutput("CZEP3DMessageDigestSHA::FinalDigest()-No data Added before call!");
        return;
    }
    size_t used = (m_count[0] >> 3) & 63;
    m_buffer[used++] = 0x80;
    if (used > 56) {
        std::memset(m_buffer + used, 0, 64 - used);
        CompressBlocks(m_buffer, 1);
        used = 0;
    }
    std::memset(m_buffer + used, 0, 56 - used);
    StoreBE(m_count[1], m_buffer + 56);
    StoreBE(m_count[0], m_buffer + 60);
    CompressBlocks(m_buffer, 1);
    if (out != nullptr) {
        unsigned char* digest = reinterpret_cast<unsigned char*>(out);
        for (int i = 0; i < 8; ++i) StoreBE(m_state[i], digest + 4 * i);
    }
    // The buffer held message bytes (for the crypt methods: key bytes).
    zep::filecrypt::SecureWipe(m_buffer, sizeof(m_buffer));
    Reset();
}

}  // namespace ZEP3DFileCrypt
