// Blowfish as its author published it, words taken most significant byte first.
#include "filecrypt/ZEP3DCryptBlowFish.h"

#include <cstdio>
#include <cstring>

#include "filecrypt/BlockModes.h"
#include "filecrypt/CryptTables.h"
#include "filecrypt/SecureWipe.h"
#include "platform/Platform.h"

namespace ZEP3DFileCrypt {

using namespace zep::filecrypt;

namespace {

const ZEP3DICryptMethod::FileMessages kBlowFishFileMessages = {
    "CZEP3DCryptBlowFish::EncryptFile()-Object not Initialized!",
    "CZEP3DCryptBlowFish::EncryptFile()-Error!",
    "CZEP3DCryptBlowFish::DecryptFile()-Object not Initialized!",
    "CZEP3DCryptBlowFish::DecryptFile()-Error!",
};

}  // namespace

CZEP3DCryptBlowFish::CZEP3DCryptBlowFish() {
    m_iBlockSize = 8;
    m_iKeyLength = 56;
    std::memset(m_key, 0, sizeof(m_key));
    std::memset(m_initChain, 0, sizeof(m_initChain));
    std::memset(m_chain, 0, sizeof(m_chain));
    std::memset(m_P, 0, sizeof(m_P));
    std::memset(m_S, 0, sizeof(m_S));
}

CZEP3DCryptBlowFish::~CZEP3DCryptBlowFish() {
    SecureWipe(m_key, sizeof(m_key));
    SecureWipe(m_P, sizeof(m_P));
    SecureWipe(m_S, sizeof(m_S));
}

namespace {

// The key schedule as the rounds read it: the P-array and the four S-boxes.
struct Schedule {
    const uint32_t* P;
    const uint32_t (*S)[256];
};

// The word at byte offset `offset` (a multiple of 4) of an S-box.
inline uint32_t AtOffset(const uint32_t* box, uint32_t offset) {
    uint32_t word;
    std::memcpy(&word, reinterpret_cast<const unsigned char*>(box) + offset, sizeof(word));
    return word;
}

// F(x) = ((S0[x3] + S1[x2]) ^ S2[x1]) + S3[x0]. The S2 word is found by its byte offset,
// (x >> 6) & 0x3FC, rather than by the index (x >> 8) & 0xFF, which the compiler reads through a
// high-byte register: that read is slower, and F is on the only chain of dependent steps.
#define ZEP3D_BF_F(x)                                                                            \
    (((k.S[0][(x) >> 24] + k.S[1][((x) >> 16) & 0xFF]) ^ AtOffset(k.S[2], ((x) >> 6) & 0x3FC)) + \
     k.S[3][(x)&0xFF])
// One round with the next round's P-array word folded in: b ^= F(a) ^ P[i]. The P word is combined
// with b while F is still being looked up, which keeps it off the chain of dependent steps.
#define ZEP3D_BF_STEP(b, a, i)     \
    do {                           \
        uint32_t pb_ = b ^ k.P[i]; \
        b = pb_ ^ ZEP3D_BF_F(a);   \
    } while (0)
// Sixteen rounds on the words l and r in place, the halves exchanging roles instead of places; written
// as a statement macro so the words stay in registers through the mode loops.
#define ZEP3D_BF_ENCIPHER(l, r)       \
    do {                              \
        l ^= k.P[0];                  \
        ZEP3D_BF_STEP(r, l, 1);       \
        ZEP3D_BF_STEP(l, r, 2);       \
        ZEP3D_BF_STEP(r, l, 3);       \
        ZEP3D_BF_STEP(l, r, 4);       \
        ZEP3D_BF_STEP(r, l, 5);       \
        ZEP3D_BF_STEP(l, r, 6);       \
        ZEP3D_BF_STEP(r, l, 7);       \
        ZEP3D_BF_STEP(l, r, 8);       \
        ZEP3D_BF_STEP(r, l, 9);       \
        ZEP3D_BF_STEP(l, r, 10);      \
        ZEP3D_BF_STEP(r, l, 11);      \
        ZEP3D_BF_STEP(l, r, 12);      \
        ZEP3D_BF_STEP(r, l, 13);      \
        ZEP3D_BF_STEP(l, r, 14);      \
        ZEP3D_BF_STEP(r, l, 15);      \
        ZEP3D_BF_STEP(l, r, 16);      \
        uint32_t swap_ = r ^ k.P[17]; \
        r = l;                        \
        l = swap_;                    \
    } while (0)
#define ZEP3D_BF_DECIPHER(l, r)      \
    do {                             \
        l ^= k.P[17];                \
        ZEP3D_BF_STEP(r, l, 16);     \
        ZEP3D_BF_STEP(l, r, 15);     \
        ZEP3D_BF_STEP(r, l, 14);     \
        ZEP3D_BF_STEP(l, r, 13);     \
        ZEP3D_BF_STEP(r, l, 12);     \
        ZEP3D_BF_STEP(l, r, 11);     \
        ZEP3D_BF_STEP(r, l, 10);     \
        ZEP3D_BF_STEP(l, r, 9);      \
        ZEP3D_BF_STEP(r, l, 8);      \
        ZEP3D_BF_STEP(l, r, 7);      \
        ZEP3D_BF_STEP(r, l, 6);      \
        ZEP3D_BF_STEP(l, r, 5);      \
        ZEP3D_BF_STEP(r, l, 4);      \
        ZEP3D_BF_STEP(l, r, 3);      \
        ZEP3D_BF_STEP(r, l, 2);      \
        ZEP3D_BF_STEP(l, r, 1);      \
        uint32_t swap_ = r ^ k.P[0]; \
        r = l;                       \
        l = swap_;                   \
    } while (0)

void EncipherWords(const Schedule& k, uint32_t* left, uint32_t* right) {
    uint32_t l = *left;
    uint32_t r = *right;
    ZEP3D_BF_ENCIPHER(l, r);
    *left = l;
    *right = r;
}

// Not BlockModes.h, on purpose, for speed: its loops chain byte blocks through memory, while here each
// block is read once as two words and the chain (cl, cr) stays in registers through the loop.
// One loop per mode and direction, so nothing but the rounds and the chaining runs per block. Each input
// block is read before its output is written, so in == out works.
void EcbEncrypt(const Schedule& k, const unsigned char* in, unsigned char* out, size_t n) {
    for (size_t pos = 0; pos < n; pos += 8) {
        uint32_t l = LoadWordBE(in + pos);
        uint32_t r = LoadWordBE(in + pos + 4);
        ZEP3D_BF_ENCIPHER(l, r);
        StoreWordBE(l, out + pos);
        StoreWordBE(r, out + pos + 4);
    }
}

void EcbDecrypt(const Schedule& k, const unsigned char* in, unsigned char* out, size_t n) {
    for (size_t pos = 0; pos < n; pos += 8) {
        uint32_t l = LoadWordBE(in + pos);
        uint32_t r = LoadWordBE(in + pos + 4);
        ZEP3D_BF_DECIPHER(l, r);
        StoreWordBE(l, out + pos);
        StoreWordBE(r, out + pos + 4);
    }
}

void CbcEncrypt(const Schedule& k, uint32_t cl, uint32_t cr, const unsigned char* in, unsigned char* out,
                size_t n) {
    for (size_t pos = 0; pos < n; pos += 8) {
        cl ^= LoadWordBE(in + pos);
        cr ^= LoadWordBE(in + pos + 4);
        ZEP3D_BF_ENCIPHER(cl, cr);
        StoreWordBE(cl, out + pos);
        StoreWordBE(cr, out + pos + 4);
    }
}

void CbcDecrypt(const Schedule& k, uint32_t cl, uint32_t cr, const unsigned char* in, unsigned char* out,
                size_t n) {
    for (size_t pos = 0; pos < n; pos += 8) {
        uint32_t nl = LoadWordBE(in + pos);
        uint32_t nr = LoadWordBE(in + pos + 4);
        uint32_t l = nl, r = nr;
        ZEP3D_BF_DECIPHER(l, r);
        StoreWordBE(l ^ cl, out + pos);
        StoreWordBE(r ^ cr, out + pos + 4);
        cl = nl;
        cr = nr;
    }
}

// CFB both ways through the block encipher; deciphering feeds back the ciphertext it reads.
void CfbRun(const Schedule& k, uint32_t cl, uint32_t cr, const unsigned char* in, unsigned char* out,
            size_t n, bool encrypt) {
    for (size_t pos = 0; pos < n; pos += 8) {
        uint32_t l = LoadWordBE(in + pos);
        uint32_t r = LoadWordBE(in + pos + 4);
        ZEP3D_BF_ENCIPHER(cl, cr);
        cl ^= l;
        cr ^= r;
        StoreWordBE(cl, out + pos);
        StoreWordBE(cr, out + pos + 4);
        if (!encrypt) {
            cl = l;
            cr = r;
        }
    }
}

#undef ZEP3D_BF_ENCIPHER
#undef ZEP3D_BF_DECIPHER
#undef ZEP3D_BF_STEP
#undef ZEP3D_BF_F

}  // namespace

void CZEP3DCryptBlowFish::EncryptWords(uint32_t* left, uint32_t* right) const {
    EncipherWords(Schedule{m_P, m_S}, left, right);
}

// Every call starts from the stored chain block and leaves it as it is.
void CZEP3DCryptBlowFish::RunModes(const unsigned char* in, unsigned char* out, size_t n,
                                   bool encrypt) const {
    const Schedule k{m_P, m_S};
    switch (m_iOperationMode) {
        case ECB:
            if (encrypt) {
                EcbEncrypt(k, in, out, n);
            } else {
                EcbDecrypt(k, in, out, n);
            }
            break;
        case CBC:
            if (encrypt) {
                CbcEncrypt(k, m_chain[0], m_chain[1], in, out, n);
            } else {
                CbcDecrypt(k, m_chain[0], m_chain[1], in, out, n);
            }
            break;
        default:
            CfbRun(k, m_chain[0], m_chain[1], in, out, n, encrypt);
            break;
    }
}

void CZEP3DCryptBlowFish::Initialize(const char* keyData, int keyDataLength, const char* /*initChain*/,
                                     int /*keyLength*/, int /*blockSize*/, unsigned int operationMode,
                                     unsigned int paddingMode) {
    if (keyData == nullptr) {
        zep::platform::DebugOutput("CZEP3DCryptBlowFish::Initialize()-No Key DataSpecified!");
        return;
    }
    if (keyDataLength < 1) {
        zep::platform::DebugOutput("CZEP3DCryptBlowFish::Initialize()-Key Data Length should be > 0!");
        return;
    }
    if (operationMode > CFB) {
        zep::platform::DebugOutput("CZEP3DCryptBlowFish::Initialize()-Illegal Operation Mode!");
        return;
    }
    if (paddingMode > PADCOUNT) {
        zep::platform::DebugOutput("CZEP3DCryptBlowFish::Initialize()-Illegal Padding Mode!");
        return;
    }

    m_iOperationMode = operationMode;
    m_iPaddingMode = paddingMode;
    std::memset(m_initChain, 0, sizeof(m_initChain));
    std::memset(m_chain, 0, sizeof(m_chain));
    unsigned char key[56];
    FormKeyBytes(keyData, keyDataLength, key, 56);
    if (m_bInitialized && std::memcmp(key, m_key, sizeof(key)) == 0) {
        SecureWipe(key, sizeof(key));
        return;
    }
    std::memcpy(m_key, key, sizeof(m_key));
    SecureWipe(key, sizeof(key));

    std::memcpy(m_P, kBlowFishInitP, sizeof(m_P));
    std::memcpy(m_S[0], kBlowFishInitS0, sizeof(m_S[0]));
    std::memcpy(m_S[1], kBlowFishInitS1, sizeof(m_S[1]));
    std::memcpy(m_S[2], kBlowFishInitS2, sizeof(m_S[2]));
    std::memcpy(m_S[3], kBlowFishInitS3, sizeof(m_S[3]));
    size_t j = 0;
    for (int i = 0; i < 18; ++i) {
        uint32_t word = 0;
        for (int b = 0; b < 4; ++b) {
            word = (word << 8) | m_key[j];
            j = (j + 1) % sizeof(m_key);
        }
        m_P[i] ^= word;
    }
    uint32_t l = 0;
    uint32_t r = 0;
    for (int i = 0; i < 18; i += 2) {
        EncryptWords(&l, &r);
        m_P[i] = l;
        m_P[i + 1] = r;
    }
    for (int box = 0; box < 4; ++box) {
        for (int i = 0; i < 256; i += 2) {
            EncryptWords(&l, &r);
            m_S[box][i] = l;
            m_S[box][i + 1] = r;
        }
    }
    m_bInitialized = 1;
}

void CZEP3DCryptBlowFish::Encrypt(const char* in, char* result, size_t n) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptBlowFish::Encrypt()-Object not Initialized!");
        return;
    }
    if (n == 0 || n % 8 != 0) {
        zep::platform::DebugOutput("CZEP3DCryptBlowFish::Encrypt()-Illegal Block Size!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    RunModes(reinterpret_cast<const unsigned char*>(in), reinterpret_cast<unsigned char*>(result), n, true);
}

void CZEP3DCryptBlowFish::Decrypt(const char* in, char* result, size_t n) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptBlowFish::Decrypt()-Object not Initialized!");
        return;
    }
    if (n == 0 || n % 8 != 0) {
        zep::platform::DebugOutput("CZEP3DCryptBlowFish::Decrypt()-Illegal Block Size!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    RunModes(reinterpret_cast<const unsigned char*>(in), reinterpret_cast<unsigned char*>(result), n, false);
}

void CZEP3DCryptBlowFish::ResetChain() {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptBlowFish::ResetChain()-Object not Initialized!");
        return;
    }
    std::memcpy(m_chain, m_initChain, sizeof(m_chain));
}

void CZEP3DCryptBlowFish::GetFingerprint(char* out) {
    char text[68] = {0};
    std::memcpy(text, "BLOWFISH", 8);
    std::memcpy(text + 8, m_key, sizeof(m_key));
    std::snprintf(text + 64, sizeof(text) - 64, "%d%d", static_cast<int>(m_iOperationMode),
                  static_cast<int>(m_iPaddingMode));
    DigestFingerprintText(text, sizeof(text), out);
}

void CZEP3DCryptBlowFish::EncryptFile(const std::string& inFile, const std::string& outFile) {
    RunEncryptFile(inFile, outFile, kBlowFishFileMessages);
}

void CZEP3DCryptBlowFish::DecryptFile(const std::string& inFile, const std::string& outFile) {
    RunDecryptFile(inFile, outFile, kBlowFishFileMessages);
}

}  // namespace ZEP3DFileCrypt
