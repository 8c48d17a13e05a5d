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
    return kRijndaelU1[w >> 24] ^ kRijndaelU2[(w >> 16) & 0xFF] ^ kRijndaelU3[(w >> 8) & 0xFF] ^
           kRijndaelU4[w & 0xFF];
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
    m_bInitialized = 1;
}

// ---- Block functions ----------------------------------------------------------------------------

#define ZEP3D_TE(a, b, c, d, k)                                                                     \
    (kRijndaelTe0[(a) >> 24] ^ kRijndaelTe1[((b) >> 16) & 0xFF] ^ kRijndaelTe2[((c) >> 8) & 0xFF] ^ \
     kRijndaelTe3[(d)&0xFF] ^ (k))
#define ZEP3D_TD(a, b, c, d, k)                                                                     \
    (kRijndaelTd0[(a) >> 24] ^ kRijndaelTd1[((b) >> 16) & 0xFF] ^ kRijndaelTd2[((c) >> 8) & 0xFF] ^ \
     kRijndaelTd3[(d)&0xFF] ^ (k))
#define ZEP3D_SLAST(box, a, b, c, d, k)                                                              \
    (((static_cast<uint32_t>(box[(a) >> 24]) << 24) |                                                \
      (static_cast<uint32_t>(box[((b) >> 16) & 0xFF]) << 16) |                                       \
      (static_cast<uint32_t>(box[((c) >> 8) & 0xFF]) << 8) | static_cast<uint32_t>(box[(d)&0xFF])) ^ \
     (k))

void CZEP3DCryptRijndael::EncryptBlock16(const unsigned char* in, unsigned char* out) const {
    const uint32_t(*ke)[kMaxWords] = m_Ke;
    uint32_t s0 = LoadWordBE(in) ^ ke[0][0];
    uint32_t s1 = LoadWordBE(in + 4) ^ ke[0][1];
    uint32_t s2 = LoadWordBE(in + 8) ^ ke[0][2];
    uint32_t s3 = LoadWordBE(in + 12) ^ ke[0][3];
    uint32_t t0, t1, t2, t3;
    const int rounds = m_iRounds;
    // Two rounds per pass; the round count is even (10, 12 or 14).
    int r = 1;
    for (;;) {
        t0 = ZEP3D_TE(s0, s1, s2, s3, ke[r][0]);
        t1 = ZEP3D_TE(s1, s2, s3, s0, ke[r][1]);
        t2 = ZEP3D_TE(s2, s3, s0, s1, ke[r][2]);
        t3 = ZEP3D_TE(s3, s0, s1, s2, ke[r][3]);
        if (++r == rounds) break;
        s0 = ZEP3D_TE(t0, t1, t2, t3, ke[r][0]);
        s1 = ZEP3D_TE(t1, t2, t3, t0, ke[r][1]);
        s2 = ZEP3D_TE(t2, t3, t0, t1, ke[r][2]);
        s3 = ZEP3D_TE(t3, t0, t1, t2, ke[r][3]);
        ++r;
    }
    StoreWordBE(ZEP3D_SLAST(kRijndaelSbox, t0, t1, t2, t3, ke[rounds][0]), out);
    StoreWordBE(ZEP3D_SLAST(kRijndaelSbox, t1, t2, t3, t0, ke[rounds][1]), out + 4);
    StoreWordBE(ZEP3D_SLAST(kRijndaelSbox, t2, t3, t0, t1, ke[rounds][2]), out + 8);
    StoreWordBE(ZEP3D_SLAST(kRijndaelSbox, t3, t0, t1, t2, ke[rounds][3]), out + 12);
}

void CZEP3DCryptRijndael::DecryptBlock16(const unsigned char* in, unsigned char* out) const {
    const uint32_t(*kd)[kMaxWords] = m_Kd;
    uint32_t s0 = LoadWordBE(in) ^ kd[0][0];
    uint32_t s1 = LoadWordBE(in + 4) ^ kd[0][1];
    uint32_t s2 = LoadWordBE(in + 8) ^ kd[0][2];
    uint32_t s3 = LoadWordBE(in + 12) ^ kd[0][3];
    uint32_t t0, t1, t2, t3;
    const int rounds = m_iRounds;
    int r = 1;
    for (;;) {
        t0 = ZEP3D_TD(s0, s3, s2, s1, kd[r][0]);
        t1 = ZEP3D_TD(s1, s0, s3, s2, kd[r][1]);
        t2 = ZEP3D_TD(s2, s1, s0, s3, kd[r][2]);
        t3 = ZEP3D_TD(s3, s2, s1, s0, kd[r][3]);
        if (++r == rounds) break;
        s0 = ZEP3D_TD(t0, t3, t2, t1, kd[r][0]);
        s1 = ZEP3D_TD(t1, t0, t3, t2, kd[r][1]);
        s2 = ZEP3D_TD(t2, t1, t0, t3, kd[r][2]);
        s3 = ZEP3D_TD(t3, t2, t1, t0, kd[r][3]);
        ++r;
    }
    StoreWordBE(ZEP3D_SLAST(kRijndaelSboxInv, t0, t3, t2, t1, kd[rounds][0]), out);
    StoreWordBE(ZEP3D_SLAST(kRijndaelSboxInv, t1, t0, t3, t2, kd[rounds][1]), out + 4);
    StoreWordBE(ZEP3D_SLAST(kRijndaelSboxInv, t2, t1, t0, t3, kd[rounds][2]), out + 8);
    StoreWordBE(ZEP3D_SLAST(kRijndaelSboxInv, t3, t2, t1, t0, kd[rounds][3]), out + 12);
}

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

void CZEP3DCryptRijndael::DefEncryptBlock(const char* in, char* result) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::DefEncryptBlock()-Object not Initialized!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    EncryptBlock16(reinterpret_cast<const unsigned char*>(in), reinterpret_cast<unsigned char*>(result));
}

void CZEP3DCryptRijndael::DefDecryptBlock(const char* in, char* result) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::DefDecryptBlock()-Object not Initialized!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    DecryptBlock16(reinterpret_cast<const unsigned char*>(in), reinterpret_cast<unsigned char*>(result));
}

void CZEP3DCryptRijndael::EncryptBlock(const char* in, char* result) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptRijndael::EncryptBlock()-Object not Initialized!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    const unsigned char* src = reinterpret_cast<const unsigned char*>(in);
    unsigned char* dst = reinterpret_cast<unsigned char*>(result);
    if (m_iBlockSize == 16) {
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
    if (m_iBlockSize == 16) {
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
    if (m_iBlockSize == 16) {
        ModeEncrypt<16>(m_iOperationMode, src, dst, n, m_chain, 16,
                        [this](const unsigned char* i, unsigned char* o) { EncryptBlock16(i, o); });
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
    if (m_iBlockSize == 16) {
        ModeDecrypt<16>(
            m_iOperationMode, src, dst, n, m_chain, 16,
            [this](const unsigned char* i, unsigned char* o) { EncryptBlock16(i, o); },
            [this](const unsigned char* i, unsigned char* o) { DecryptBlock16(i, o); });
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
