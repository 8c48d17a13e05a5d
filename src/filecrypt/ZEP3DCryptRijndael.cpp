// Rijndael after FIPS-197 and the Rijndael proposal: T-table rounds, an unrolled path for 16-byte
// blocks, and the equivalent inverse cipher for deciphering.
#include "filecrypt/ZEP3DCryptRijndael.h"

#include <cstdio>
#include <cstring>

#include "filecrypt/BlockModes.h"
#include "filecrypt/CryptTables.h"
#include "filecrypt/SecureWipe.h"
#include "platform/Platform.h"

namespace ZEP3DFileCrypt {

using namespace zep::filecrypt;

namespace {

const ZEP3DICryptMethod::FileMessages kRijndaelFileMessages = {
    "CZEP3DCryptRijndael::EncryptFile()-Object not Initialized!",
    "CZEP3DCryptRijndael::EncryptFile()-Error!",
    "CZEP3DCryptRijndael::DecryptFile()-Object not Initialized!",
    "CZEP3DCryptRijndael::DecryptFile()-Error!",
};

inline uint32_t SubWord(uint32_t w) {
    return (static_cast<uint32_t>(kRijndaelSbox[w >> 24]) << 24) |
           (static_cast<uint32_t>(kRijndaelSbox[(w >> 16) & 0xFF]) << 16) |
           (static_cast<uint32_t>(kRijndaelSbox[(w >> 8) & 0xFF]) << 8) | kRijndaelSbox[w & 0xFF];
}

inline uint32_t InvMixColumnWord(uint32_t w) {
    return kRijndaelU[0][w >> 24] ^ kRijndaelU[1][(w >> 16) & 0xFF] ^ kRijndaelU[2][(w >> 8) & 0xFF] ^
           kRijndaelU[3][w & 0xFF];
}

inline bool LegalSize(int size) { return size == 16 || size == 24 || size == 32; }

// Rounds by key length and block size: the larger of the two in words, plus six.
inline int RoundsFor(int keyLength, int blockSize) {
    int words = (keyLength > blockSize ? keyLength : blockSize) / 4;
    return words + 6;
}

// ShiftRow offsets of rows 1 to 3 by block width in words.
inline void ShiftOffsets(int nb, int* c1, int* c2, int* c3) {
    *c1 = 1;
    *c2 = nb == 8 ? 3 : 2;
    *c3 = nb == 8 ? 4 : 3;
}

}  // namespace

CZEP3DCryptRijndael::CZEP3DCryptRijndael() : m_iRounds(0) {
    std::memset(m_key, 0, sizeof(m_key));
    std::memset(m_Ke, 0, sizeof(m_Ke));
    std::memset(m_Kd, 0, sizeof(m_Kd));
    std::memset(m_initChain, 0, sizeof(m_initChain));
    std::memset(m_chain, 0, sizeof(m_chain));
    std::memset(&m_aesKeys, 0, sizeof(m_aesKeys));
}

CZEP3DCryptRijndael::~CZEP3DCryptRijndael() {
    WipeKeyMaterial();
    SecureWipe(m_initChain, sizeof(m_initChain));
    SecureWipe(m_chain, sizeof(m_chain));
}

void CZEP3DCryptRijndael::WipeKeyMaterial() {
    SecureWipe(m_key, sizeof(m_key));
    SecureWipe(m_Ke, sizeof(m_Ke));
    SecureWipe(m_Kd, sizeof(m_Kd));
    SecureWipe(&m_aesKeys, sizeof(m_aesKeys));
}

void CZEP3DCryptRijndael::Initialize(const char* keyData, int keyDataLength, const char* initChain,
                                     int keyLength, int blockSize, unsigned int operationMode,
                                     unsigned int paddingMode) {
    if (keyData == nullptr) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::Initialize()-No Key DataSpecified!");
        return;
    }
    if (keyDataLength < 1) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::Initialize()-Key Data Length should be > 0!");
        return;
    }
    if (!LegalSize(keyLength)) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::Initialize()-Illegal Key Length!");
        return;
    }
    if (!LegalSize(blockSize)) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::Initialize()-Illegal Block Size!");
        return;
    }
    if (operationMode > CFB) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::Initialize()-Illegal Operation Mode!");
        return;
    }
    if (paddingMode > PADCOUNT) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::Initialize()-Illegal Padding Mode!");
        return;
    }

    m_iOperationMode = operationMode;
    m_iPaddingMode = paddingMode;
    // The old key may be longer, or its schedule have more rounds, than the new one.
    WipeKeyMaterial();
    FormKeyBytes(keyData, keyDataLength, m_key, keyLength);
    m_iBlockSize = blockSize;
    std::memset(m_initChain, 0, sizeof(m_initChain));
    if (initChain != nullptr) std::memcpy(m_initChain, initChain, static_cast<size_t>(blockSize));
    std::memcpy(m_chain, m_initChain, sizeof(m_chain));
    m_iKeyLength = keyLength;
    m_iRounds = RoundsFor(keyLength, blockSize);

    // Key schedule: Nk key words, then each word the XOR of the word Nk back and the previous word,
    // transformed at the start of every group (and in the middle for 8-word keys).
    const int nk = keyLength / 4;
    const int nb = blockSize / 4;
    const int total = (m_iRounds + 1) * nb;
    uint32_t w[(kMaxRounds + 1) * kMaxWords];
    for (int i = 0; i < nk; ++i) w[i] = LoadWordBE(m_key + 4 * i);
    for (int i = nk; i < total; ++i) {
        uint32_t temp = w[i - 1];
        if (i % nk == 0) {
            temp = SubWord((temp << 8) | (temp >> 24)) ^
                   (static_cast<uint32_t>(kRijndaelRcon[i / nk - 1]) << 24);
        } else if (nk > 6 && i % nk == 4) {
            temp = SubWord(temp);
        }
        w[i] = w[i - nk] ^ temp;
    }
    for (int t = 0; t < total; ++t) {
        m_Ke[t / nb][t % nb] = w[t];
        m_Kd[m_iRounds - t / nb][t % nb] = w[t];
    }
    SecureWipe(w, sizeof(w));
    for (int r = 1; r < m_iRounds; ++r) {
        for (int c = 0; c < nb; ++c) m_Kd[r][c] = InvMixColumnWord(m_Kd[r][c]);
    }
    if (blockSize == 16) {
        m_aesKeys.rounds = m_iRounds;
        for (int r = 0; r <= m_iRounds; ++r) {
            for (int c = 0; c < 4; ++c) {
                StoreWordBE(m_Ke[r][c], m_aesKeys.enc[r] + 4 * c);
                StoreWordBE(m_Kd[r][c], m_aesKeys.dec[r] + 4 * c);
            }
        }
    }
    m_bInitialized = 1;
}

// ---- Block functions ----------------------------------------------------------------------------

// One round column: four table look-ups, one per row, XORed in pairs so the two halves overlap.
#define ZEP3D_TE(a, b, c, d, k)                                         \
    ((kRijndaelTe[0][(a) >> 24] ^ kRijndaelTe[1][((b) >> 16) & 0xFF]) ^ \
     (kRijndaelTe[2][((c) >> 8) & 0xFF] ^ kRijndaelTe[3][(d)&0xFF]) ^ (k))
#define ZEP3D_TD(a, b, c, d, k)                                         \
    ((kRijndaelTd[0][(a) >> 24] ^ kRijndaelTd[1][((b) >> 16) & 0xFF]) ^ \
     (kRijndaelTd[2][((c) >> 8) & 0xFF] ^ kRijndaelTd[3][(d)&0xFF]) ^ (k))
// The last enciphering round: the S-box value of each row already in its byte, so the round is four
// look-ups and XORs like the others.
#define ZEP3D_TLAST(a, b, c, d, k)                                                \
    ((kRijndaelSboxRow[0][(a) >> 24] ^ kRijndaelSboxRow[1][((b) >> 16) & 0xFF]) ^ \
     (kRijndaelSboxRow[2][((c) >> 8) & 0xFF] ^ kRijndaelSboxRow[3][(d)&0xFF]) ^ (k))
#define ZEP3D_SLAST(box, a, b, c, d, k)                                                              \
    (((static_cast<uint32_t>(box[(a) >> 24]) << 24) |                                                \
      (static_cast<uint32_t>(box[((b) >> 16) & 0xFF]) << 16) |                                       \
      (static_cast<uint32_t>(box[((c) >> 8) & 0xFF]) << 8) | static_cast<uint32_t>(box[(d)&0xFF])) ^ \
     (k))
#define ZEP3D_SLASTINV(a, b, c, d, k) ZEP3D_SLAST(kRijndaelSboxInv, a, b, c, d, k)

// The enciphering columns of a single block, whose state words are held in 64-bit variables (they never
// have bits above 31). A single block is one chain of dependent look-ups, and the compiler orders each
// column's XORs by how late their operands are ready: with wide words that order takes the round key
// first and the row-2 look-up (the slowest index to extract) last, a step shorter per round than with
// 32-bit words.
#define ZEP3D_TEW(a, b, c, d, k)                                                       \
    ((k) ^ kRijndaelTe[3][(d)&0xFF] ^ kRijndaelTe[0][static_cast<uint32_t>(a) >> 24] ^ \
     kRijndaelTe[1][((b) >> 16) & 0xFF] ^ kRijndaelTe[2][((c) >> 8) & 0xFF])
#define ZEP3D_TLASTW(a, b, c, d, k)                                                              \
    ((k) ^ kRijndaelSboxRow[3][(d)&0xFF] ^ kRijndaelSboxRow[0][static_cast<uint32_t>(a) >> 24] ^ \
     kRijndaelSboxRow[1][((b) >> 16) & 0xFF] ^ kRijndaelSboxRow[2][((c) >> 8) & 0xFF])

// Whole 16-byte block ciphers as statement macros over word variables, so they are always expanded
// in place and the state never leaves the registers. ROW(x, c, r) names the word that row r of
// output column c is taken from: column c + r for enciphering, c - r for deciphering.
#define ZEP3D_ROUND16(T, k, o0, o1, o2, o3, i0, i1, i2, i3, ENC) \
    do {                                                         \
        if (ENC) {                                               \
            o0 = T(i0, i1, i2, i3, k[0]);                        \
            o1 = T(i1, i2, i3, i0, k[1]);                        \
            o2 = T(i2, i3, i0, i1, k[2]);                        \
            o3 = T(i3, i0, i1, i2, k[3]);                        \
        } else {                                                 \
            o0 = T(i0, i3, i2, i1, k[0]);                        \
            o1 = T(i1, i0, i3, i2, k[1]);                        \
            o2 = T(i2, i1, i0, i3, k[2]);                        \
            o3 = T(i3, i2, i1, i0, k[3]);                        \
        }                                                        \
    } while (0)

#define ZEP3D_LAST16(L, k, o0, o1, o2, o3, i0, i1, i2, i3, ENC) \
    ZEP3D_ROUND16(L, k, o0, o1, o2, o3, i0, i1, i2, i3, ENC)

// One block in s0..s3 with round keys k and an even round count (10, 12 or 14), the rounds in
// pairs, the state moving from s to t and back. (A rolled loop: the single-block chain of CBC and CFB
// enciphering is latency-bound, and the compiler schedules this form better than a full unrolling.)
#define ZEP3D_BLOCK16(T, L, k, rounds, ENC, s0, s1, s2, s3)                       \
    do {                                                                          \
        decltype(s0) t0_, t1_, t2_, t3_;                                          \
        s0 ^= k[0][0];                                                            \
        s1 ^= k[0][1];                                                            \
        s2 ^= k[0][2];                                                            \
        s3 ^= k[0][3];                                                            \
        for (int r_ = 1;; r_ += 2) {                                              \
            ZEP3D_ROUND16(T, k[r_], t0_, t1_, t2_, t3_, s0, s1, s2, s3, ENC);     \
            if (r_ + 1 == (rounds)) break;                                        \
            ZEP3D_ROUND16(T, k[r_ + 1], s0, s1, s2, s3, t0_, t1_, t2_, t3_, ENC); \
        }                                                                         \
        ZEP3D_LAST16(L, k[rounds], s0, s1, s2, s3, t0_, t1_, t2_, t3_, ENC);      \
    } while (0)

// Two independent blocks, round by round, so their table look-ups overlap.
#define ZEP3D_BLOCK16X2(T, L, k, rounds, ENC, a0, a1, a2, a3, b0, b1, b2, b3)         \
    do {                                                                              \
        uint32_t ta0_, ta1_, ta2_, ta3_, tb0_, tb1_, tb2_, tb3_;                      \
        a0 ^= k[0][0];                                                                \
        a1 ^= k[0][1];                                                                \
        a2 ^= k[0][2];                                                                \
        a3 ^= k[0][3];                                                                \
        b0 ^= k[0][0];                                                                \
        b1 ^= k[0][1];                                                                \
        b2 ^= k[0][2];                                                                \
        b3 ^= k[0][3];                                                                \
        ZEP3D_ROUND16(T, k[1], ta0_, ta1_, ta2_, ta3_, a0, a1, a2, a3, ENC);          \
        ZEP3D_ROUND16(T, k[1], tb0_, tb1_, tb2_, tb3_, b0, b1, b2, b3, ENC);          \
        ZEP3D_ROUND16(T, k[2], a0, a1, a2, a3, ta0_, ta1_, ta2_, ta3_, ENC);          \
        ZEP3D_ROUND16(T, k[2], b0, b1, b2, b3, tb0_, tb1_, tb2_, tb3_, ENC);          \
        ZEP3D_ROUND16(T, k[3], ta0_, ta1_, ta2_, ta3_, a0, a1, a2, a3, ENC);          \
        ZEP3D_ROUND16(T, k[3], tb0_, tb1_, tb2_, tb3_, b0, b1, b2, b3, ENC);          \
        ZEP3D_ROUND16(T, k[4], a0, a1, a2, a3, ta0_, ta1_, ta2_, ta3_, ENC);          \
        ZEP3D_ROUND16(T, k[4], b0, b1, b2, b3, tb0_, tb1_, tb2_, tb3_, ENC);          \
        ZEP3D_ROUND16(T, k[5], ta0_, ta1_, ta2_, ta3_, a0, a1, a2, a3, ENC);          \
        ZEP3D_ROUND16(T, k[5], tb0_, tb1_, tb2_, tb3_, b0, b1, b2, b3, ENC);          \
        ZEP3D_ROUND16(T, k[6], a0, a1, a2, a3, ta0_, ta1_, ta2_, ta3_, ENC);          \
        ZEP3D_ROUND16(T, k[6], b0, b1, b2, b3, tb0_, tb1_, tb2_, tb3_, ENC);          \
        ZEP3D_ROUND16(T, k[7], ta0_, ta1_, ta2_, ta3_, a0, a1, a2, a3, ENC);          \
        ZEP3D_ROUND16(T, k[7], tb0_, tb1_, tb2_, tb3_, b0, b1, b2, b3, ENC);          \
        ZEP3D_ROUND16(T, k[8], a0, a1, a2, a3, ta0_, ta1_, ta2_, ta3_, ENC);          \
        ZEP3D_ROUND16(T, k[8], b0, b1, b2, b3, tb0_, tb1_, tb2_, tb3_, ENC);          \
        ZEP3D_ROUND16(T, k[9], ta0_, ta1_, ta2_, ta3_, a0, a1, a2, a3, ENC);          \
        ZEP3D_ROUND16(T, k[9], tb0_, tb1_, tb2_, tb3_, b0, b1, b2, b3, ENC);          \
        if ((rounds) > 10) {                                                          \
            ZEP3D_ROUND16(T, k[10], a0, a1, a2, a3, ta0_, ta1_, ta2_, ta3_, ENC);     \
            ZEP3D_ROUND16(T, k[10], b0, b1, b2, b3, tb0_, tb1_, tb2_, tb3_, ENC);     \
            ZEP3D_ROUND16(T, k[11], ta0_, ta1_, ta2_, ta3_, a0, a1, a2, a3, ENC);     \
            ZEP3D_ROUND16(T, k[11], tb0_, tb1_, tb2_, tb3_, b0, b1, b2, b3, ENC);     \
            if ((rounds) > 12) {                                                      \
                ZEP3D_ROUND16(T, k[12], a0, a1, a2, a3, ta0_, ta1_, ta2_, ta3_, ENC); \
                ZEP3D_ROUND16(T, k[12], b0, b1, b2, b3, tb0_, tb1_, tb2_, tb3_, ENC); \
                ZEP3D_ROUND16(T, k[13], ta0_, ta1_, ta2_, ta3_, a0, a1, a2, a3, ENC); \
                ZEP3D_ROUND16(T, k[13], tb0_, tb1_, tb2_, tb3_, b0, b1, b2, b3, ENC); \
            }                                                                         \
        }                                                                             \
        ZEP3D_LAST16(L, k[rounds], a0, a1, a2, a3, ta0_, ta1_, ta2_, ta3_, ENC);      \
        ZEP3D_LAST16(L, k[rounds], b0, b1, b2, b3, tb0_, tb1_, tb2_, tb3_, ENC);      \
    } while (0)

// A single block enciphered in wide words (declared by ZEP3D_LOAD16W) or deciphered in 32-bit words.
#define ZEP3D_ENC16(k, rounds, s0, s1, s2, s3) \
    ZEP3D_BLOCK16(ZEP3D_TEW, ZEP3D_TLASTW, k, rounds, true, s0, s1, s2, s3)
#define ZEP3D_DEC16(k, rounds, s0, s1, s2, s3) \
    ZEP3D_BLOCK16(ZEP3D_TD, ZEP3D_SLASTINV, k, rounds, false, s0, s1, s2, s3)

#define ZEP3D_LOAD16(p, s0, s1, s2, s3) \
    uint32_t s0 = LoadWordBE(p), s1 = LoadWordBE((p) + 4), s2 = LoadWordBE((p) + 8), s3 = LoadWordBE((p) + 12)
#define ZEP3D_LOAD16W(p, s0, s1, s2, s3) \
    uint64_t s0 = LoadWordBE(p), s1 = LoadWordBE((p) + 4), s2 = LoadWordBE((p) + 8), s3 = LoadWordBE((p) + 12)
#define ZEP3D_STORE16(p, s0, s1, s2, s3)                  \
    do {                                                  \
        StoreWordBE(static_cast<uint32_t>(s0), p);        \
        StoreWordBE(static_cast<uint32_t>(s1), (p) + 4);  \
        StoreWordBE(static_cast<uint32_t>(s2), (p) + 8);  \
        StoreWordBE(static_cast<uint32_t>(s3), (p) + 12); \
    } while (0)

void CZEP3DCryptRijndael::EncryptBlock16(const unsigned char* in, unsigned char* out) const {
    ZEP3D_LOAD16W(in, s0, s1, s2, s3);
    ZEP3D_ENC16(m_Ke, m_iRounds, s0, s1, s2, s3);
    ZEP3D_STORE16(out, s0, s1, s2, s3);
}

void CZEP3DCryptRijndael::DecryptBlock16(const unsigned char* in, unsigned char* out) const {
    ZEP3D_LOAD16(in, s0, s1, s2, s3);
    ZEP3D_DEC16(m_Kd, m_iRounds, s0, s1, s2, s3);
    ZEP3D_STORE16(out, s0, s1, s2, s3);
}

// The modes for 16-byte blocks on words: the chain stays in registers, and whatever does not depend on
// the block before (ECB both ways, CBC and CFB deciphering) runs two blocks at a time. Every input
// block is read before its output is written, so in == out works.
void CZEP3DCryptRijndael::Encrypt16(const unsigned char* in, unsigned char* out, size_t n) {
    const uint32_t(*ke)[kMaxWords] = m_Ke;
    const int rounds = m_iRounds;
    size_t pos = 0;
    if (m_iOperationMode == ECB) {
        for (; pos + 32 <= n; pos += 32) {
            ZEP3D_LOAD16(in + pos, a0, a1, a2, a3);
            ZEP3D_LOAD16(in + pos + 16, b0, b1, b2, b3);
            ZEP3D_BLOCK16X2(ZEP3D_TE, ZEP3D_TLAST, ke, rounds, true, a0, a1, a2, a3, b0, b1, b2, b3);
            ZEP3D_STORE16(out + pos, a0, a1, a2, a3);
            ZEP3D_STORE16(out + pos + 16, b0, b1, b2, b3);
        }
        if (pos < n) EncryptBlock16(in + pos, out + pos);
        return;
    }
    const bool cbc = m_iOperationMode == CBC;
    ZEP3D_LOAD16W(m_chain, c0, c1, c2, c3);
    for (; pos < n; pos += 16) {
        ZEP3D_LOAD16(in + pos, p0, p1, p2, p3);
        if (cbc) {
            c0 ^= p0;
            c1 ^= p1;
            c2 ^= p2;
            c3 ^= p3;
            ZEP3D_ENC16(ke, rounds, c0, c1, c2, c3);
        } else {
            ZEP3D_ENC16(ke, rounds, c0, c1, c2, c3);
            c0 ^= p0;
            c1 ^= p1;
            c2 ^= p2;
            c3 ^= p3;
        }
        ZEP3D_STORE16(out + pos, c0, c1, c2, c3);
    }
    ZEP3D_STORE16(m_chain, c0, c1, c2, c3);
}

void CZEP3DCryptRijndael::Decrypt16(const unsigned char* in, unsigned char* out, size_t n) {
    const uint32_t(*ke)[kMaxWords] = m_Ke;
    const uint32_t(*kd)[kMaxWords] = m_Kd;
    const int rounds = m_iRounds;
    size_t pos = 0;
    if (m_iOperationMode == ECB) {
        for (; pos + 32 <= n; pos += 32) {
            ZEP3D_LOAD16(in + pos, a0, a1, a2, a3);
            ZEP3D_LOAD16(in + pos + 16, b0, b1, b2, b3);
            ZEP3D_BLOCK16X2(ZEP3D_TD, ZEP3D_SLASTINV, kd, rounds, false, a0, a1, a2, a3, b0, b1, b2, b3);
            ZEP3D_STORE16(out + pos, a0, a1, a2, a3);
            ZEP3D_STORE16(out + pos + 16, b0, b1, b2, b3);
        }
        if (pos < n) DecryptBlock16(in + pos, out + pos);
        return;
    }
    const bool cbc = m_iOperationMode == CBC;
    ZEP3D_LOAD16(m_chain, c0, c1, c2, c3);
    for (; pos + 32 <= n; pos += 32) {
        ZEP3D_LOAD16(in + pos, x0, x1, x2, x3);
        ZEP3D_LOAD16(in + pos + 16, y0, y1, y2, y3);
        uint32_t a0, a1, a2, a3, b0, b1, b2, b3;
        if (cbc) {
            // P1 = D(C1) ^ chain, P2 = D(C2) ^ C1.
            a0 = x0, a1 = x1, a2 = x2, a3 = x3;
            b0 = y0, b1 = y1, b2 = y2, b3 = y3;
            ZEP3D_BLOCK16X2(ZEP3D_TD, ZEP3D_SLASTINV, kd, rounds, false, a0, a1, a2, a3, b0, b1, b2, b3);
            a0 ^= c0, a1 ^= c1, a2 ^= c2, a3 ^= c3;
            b0 ^= x0, b1 ^= x1, b2 ^= x2, b3 ^= x3;
        } else {
            // P1 = E(chain) ^ C1, P2 = E(C1) ^ C2.
            a0 = c0, a1 = c1, a2 = c2, a3 = c3;
            b0 = x0, b1 = x1, b2 = x2, b3 = x3;
            ZEP3D_BLOCK16X2(ZEP3D_TE, ZEP3D_TLAST, ke, rounds, true, a0, a1, a2, a3, b0, b1, b2, b3);
            a0 ^= x0, a1 ^= x1, a2 ^= x2, a3 ^= x3;
            b0 ^= y0, b1 ^= y1, b2 ^= y2, b3 ^= y3;
        }
        ZEP3D_STORE16(out + pos, a0, a1, a2, a3);
        ZEP3D_STORE16(out + pos + 16, b0, b1, b2, b3);
        c0 = y0, c1 = y1, c2 = y2, c3 = y3;
    }
    if (pos < n) {
        ZEP3D_LOAD16(in + pos, x0, x1, x2, x3);
        uint32_t a0, a1, a2, a3;
        if (cbc) {
            a0 = x0, a1 = x1, a2 = x2, a3 = x3;
            ZEP3D_DEC16(kd, rounds, a0, a1, a2, a3);
            a0 ^= c0, a1 ^= c1, a2 ^= c2, a3 ^= c3;
        } else {
            a0 = c0, a1 = c1, a2 = c2, a3 = c3;
            ZEP3D_ENC16(ke, rounds, a0, a1, a2, a3);
            a0 ^= x0, a1 ^= x1, a2 ^= x2, a3 ^= x3;
        }
        ZEP3D_STORE16(out + pos, a0, a1, a2, a3);
        c0 = x0, c1 = x1, c2 = x2, c3 = x3;
    }
    ZEP3D_STORE16(m_chain, c0, c1, c2, c3);
}

#undef ZEP3D_ROUND16
#undef ZEP3D_LAST16
#undef ZEP3D_BLOCK16
#undef ZEP3D_BLOCK16X2
#undef ZEP3D_ENC16
#undef ZEP3D_DEC16
#undef ZEP3D_LOAD16
#undef ZEP3D_LOAD16W
#undef ZEP3D_STORE16

void CZEP3DCryptRijndael::EncryptBlockAny(const unsigned char* in, unsigned char* out) const {
    const int nb = m_iBlockSize / 4;
    int c1, c2, c3;
    ShiftOffsets(nb, &c1, &c2, &c3);
    int i1[kMaxWords], i2[kMaxWords], i3[kMaxWords];
    uint32_t s[kMaxWords], t[kMaxWords];
    for (int c = 0; c < nb; ++c) {
        i1[c] = (c + c1) % nb;
        i2[c] = (c + c2) % nb;
        i3[c] = (c + c3) % nb;
        s[c] = LoadWordBE(in + 4 * c) ^ m_Ke[0][c];
    }
    for (int r = 1; r < m_iRounds; ++r) {
        for (int c = 0; c < nb; ++c) t[c] = ZEP3D_TE(s[c], s[i1[c]], s[i2[c]], s[i3[c]], m_Ke[r][c]);
        std::memcpy(s, t, sizeof(uint32_t) * static_cast<size_t>(nb));
    }
    for (int c = 0; c < nb; ++c) {
        StoreWordBE(ZEP3D_SLAST(kRijndaelSbox, s[c], s[i1[c]], s[i2[c]], s[i3[c]], m_Ke[m_iRounds][c]),
                    out + 4 * c);
    }
}

void CZEP3DCryptRijndael::DecryptBlockAny(const unsigned char* in, unsigned char* out) const {
    const int nb = m_iBlockSize / 4;
    int c1, c2, c3;
    ShiftOffsets(nb, &c1, &c2, &c3);
    int i1[kMaxWords], i2[kMaxWords], i3[kMaxWords];
    uint32_t s[kMaxWords], t[kMaxWords];
    for (int c = 0; c < nb; ++c) {
        i1[c] = (c + nb - c1) % nb;
        i2[c] = (c + nb - c2) % nb;
        i3[c] = (c + nb - c3) % nb;
        s[c] = LoadWordBE(in + 4 * c) ^ m_Kd[0][c];
    }
    for (int r = 1; r < m_iRounds; ++r) {
        for (int c = 0; c < nb; ++c) t[c] = ZEP3D_TD(s[c], s[i1[c]], s[i2[c]], s[i3[c]], m_Kd[r][c]);
        std::memcpy(s, t, sizeof(uint32_t) * static_cast<size_t>(nb));
    }
    for (int c = 0; c < nb; ++c) {
        StoreWordBE(ZEP3D_SLAST(kRijndaelSboxInv, s[c], s[i1[c]], s[i2[c]], s[i3[c]], m_Kd[m_iRounds][c]),
                    out + 4 * c);
    }
}

#undef ZEP3D_TE
#undef ZEP3D_TD
#undef ZEP3D_SLAST
#undef ZEP3D_SLASTINV
#undef ZEP3D_TLAST
#undef ZEP3D_TEW
#undef ZEP3D_TLASTW

void CZEP3DCryptRijndael::DefEncryptBlock(const char* in, char* result) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::DefEncryptBlock()-Object not Initialized!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    const unsigned char* src = reinterpret_cast<const unsigned char*>(in);
    unsigned char* dst = reinterpret_cast<unsigned char*>(result);
    if (m_iBlockSize == 16 && UseAesInstructions()) {
        AesEncryptBlock(m_aesKeys, src, dst);
    } else {
        EncryptBlock16(src, dst);
    }
}

void CZEP3DCryptRijndael::DefDecryptBlock(const char* in, char* result) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::DefDecryptBlock()-Object not Initialized!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    const unsigned char* src = reinterpret_cast<const unsigned char*>(in);
    unsigned char* dst = reinterpret_cast<unsigned char*>(result);
    if (m_iBlockSize == 16 && UseAesInstructions()) {
        AesDecryptBlock(m_aesKeys, src, dst);
    } else {
        DecryptBlock16(src, dst);
    }
}

void CZEP3DCryptRijndael::EncryptBlock(const char* in, char* result) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::EncryptBlock()-Object not Initialized!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    const unsigned char* src = reinterpret_cast<const unsigned char*>(in);
    unsigned char* dst = reinterpret_cast<unsigned char*>(result);
    if (m_iBlockSize == 16 && UseAesInstructions()) {
        AesEncryptBlock(m_aesKeys, src, dst);
    } else if (m_iBlockSize == 16) {
        EncryptBlock16(src, dst);
    } else {
        EncryptBlockAny(src, dst);
    }
}

void CZEP3DCryptRijndael::DecryptBlock(const char* in, char* result) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::DecryptBlock()-Object not Initialized!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    const unsigned char* src = reinterpret_cast<const unsigned char*>(in);
    unsigned char* dst = reinterpret_cast<unsigned char*>(result);
    if (m_iBlockSize == 16 && UseAesInstructions()) {
        AesDecryptBlock(m_aesKeys, src, dst);
    } else if (m_iBlockSize == 16) {
        DecryptBlock16(src, dst);
    } else {
        DecryptBlockAny(src, dst);
    }
}

// ---- Modes --------------------------------------------------------------------------------------

void CZEP3DCryptRijndael::Encrypt(const char* in, char* result, size_t n) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::Encrypt()-Object not Initialized!");
        return;
    }
    if (n == 0 || n % static_cast<size_t>(m_iBlockSize) != 0) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::Encrypt()-Illegal Block Size!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    const unsigned char* src = reinterpret_cast<const unsigned char*>(in);
    unsigned char* dst = reinterpret_cast<unsigned char*>(result);
    if (m_iBlockSize == 16 && UseAesInstructions()) {
        AesEncrypt(m_aesKeys, m_iOperationMode, m_chain, src, dst, n);
    } else if (m_iBlockSize == 16) {
        Encrypt16(src, dst, n);
    } else {
        ModeEncrypt<0>(m_iOperationMode, src, dst, n, m_chain, static_cast<size_t>(m_iBlockSize),
                       [this](const unsigned char* i, unsigned char* o) { EncryptBlockAny(i, o); });
    }
}

void CZEP3DCryptRijndael::Decrypt(const char* in, char* result, size_t n) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::Decrypt()-Object not Initialized!");
        return;
    }
    if (n == 0 || n % static_cast<size_t>(m_iBlockSize) != 0) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::Decrypt()-Illegal Block Size!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    const unsigned char* src = reinterpret_cast<const unsigned char*>(in);
    unsigned char* dst = reinterpret_cast<unsigned char*>(result);
    if (m_iBlockSize == 16 && UseAesInstructions()) {
        AesDecrypt(m_aesKeys, m_iOperationMode, m_chain, src, dst, n);
    } else if (m_iBlockSize == 16) {
        Decrypt16(src, dst, n);
    } else {
        ModeDecrypt<0>(
            m_iOperationMode, src, dst, n, m_chain, static_cast<size_t>(m_iBlockSize),
            [this](const unsigned char* i, unsigned char* o) { EncryptBlockAny(i, o); },
            [this](const unsigned char* i, unsigned char* o) { DecryptBlockAny(i, o); });
    }
}

void CZEP3DCryptRijndael::ResetChain() {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::ResetChain()-Object not Initialized!");
        return;
    }
    std::memcpy(m_chain, m_initChain, static_cast<size_t>(m_iBlockSize));
}

void CZEP3DCryptRijndael::GetFingerprint(char* out) {
    char text[48] = {0};
    std::memcpy(text, "RIJNDAEL", 8);
    std::memcpy(text + 8, m_key, static_cast<size_t>(m_iKeyLength));
    size_t used = 8 + static_cast<size_t>(m_iKeyLength);
    std::snprintf(text + used, sizeof(text) - used, "%d%d%d%d", m_iBlockSize, m_iKeyLength,
                  static_cast<int>(m_iOperationMode), static_cast<int>(m_iPaddingMode));
    DigestFingerprintText(text, sizeof(text), out);
}

// ---- Files --------------------------------------------------------------------------------------

void CZEP3DCryptRijndael::EncryptFile(const std::string& inFile, const std::string& outFile) {
    RunEncryptFile(inFile, outFile, kRijndaelFileMessages);
}

void CZEP3DCryptRijndael::DecryptFile(const std::string& inFile, const std::string& outFile) {
    RunDecryptFile(inFile, outFile, kRijndaelFileMessages);
}

}  // namespace ZEP3DFileCrypt
