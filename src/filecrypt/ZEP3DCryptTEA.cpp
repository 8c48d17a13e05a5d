// The TEA method with the XTEA block function, words taken most significant byte first.
#include "filecrypt/ZEP3DCryptTEA.h"

#include <cstdio>
#include <cstring>

#include "filecrypt/BlockModes.h"
#include "filecrypt/SecureWipe.h"
#include "platform/Platform.h"

namespace ZEP3DFileCrypt {

using namespace zep::filecrypt;

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr uint32_t kDecipherSum = 0xC6EF3720u;  // kDelta * 32

const ZEP3DICryptMethod::FileMessages kTeaFileMessages = {
    "CZEP3DCryptTEA::EncryptFile()-Object not Initialized!",
    "CZEP3DCryptTEA::EncryptFile()-Error!",
    "CZEP3DCryptTEA::DecryptFile()-Object not Initialized!",
    "CZEP3DCryptTEA::DecryptFile()-Error!",
};

}  // namespace

CZEP3DCryptTEA::CZEP3DCryptTEA() {
    m_iBlockSize = 8;
    m_iKeyLength = 16;
    std::memset(m_key, 0, sizeof(m_key));
    std::memset(m_k, 0, sizeof(m_k));
    std::memset(m_initChain, 0, sizeof(m_initChain));
    std::memset(m_chain, 0, sizeof(m_chain));
}

CZEP3DCryptTEA::~CZEP3DCryptTEA() {
    SecureWipe(m_key, sizeof(m_key));
    SecureWipe(m_k, sizeof(m_k));
    SecureWipe(m_initChain, sizeof(m_initChain));
    SecureWipe(m_chain, sizeof(m_chain));
}

void CZEP3DCryptTEA::Initialize(const char* keyData, int keyDataLength, const char* initChain,
                                int /*keyLength*/, int /*blockSize*/, unsigned int operationMode,
                                unsigned int paddingMode) {
    if (keyData == nullptr) {
        zep::platform::DebugOutput("CZEP3DCryptTEA::Initialize()-No Key DataSpecified!");
        return;
    }
    if (keyDataLength < 1) {
        zep::platform::DebugOutput("CZEP3DCryptTEA::Initialize()-Key Data Length should be > 0!");
        return;
    }
    if (operationMode > CFB) {
        zep::platform::DebugOutput("CZEP3DCryptTEA::Initialize()-Illegal Operation Mode!");
        return;
    }
    if (paddingMode > PADCOUNT) {
        zep::platform::DebugOutput("CZEP3DCryptTEA::Initialize()-Illegal Padding Mode!");
        return;
    }

    m_iOperationMode = operationMode;
    m_iPaddingMode = paddingMode;
    unsigned char key[16];
    FormKeyBytes(keyData, keyDataLength, key, 16);
    if (initChain != nullptr) {
        std::memcpy(m_initChain, initChain, sizeof(m_initChain));
    } else {
        std::memset(m_initChain, 0, sizeof(m_initChain));
    }
    std::memcpy(m_chain, m_initChain, sizeof(m_chain));
    if (m_bInitialized && std::memcmp(key, m_key, sizeof(key)) == 0) {
        SecureWipe(key, sizeof(key));
        return;
    }
    std::memcpy(m_key, key, sizeof(m_key));
    SecureWipe(key, sizeof(key));
    for (int i = 0; i < 4; ++i) m_k[i] = LoadWordBE(m_key + 4 * i);
    m_bInitialized = 1;
}

void CZEP3DCryptTEA::EncryptBlock8(const unsigned char* in, unsigned char* out) const {
    uint32_t l = LoadWordBE(in);
    uint32_t r = LoadWordBE(in + 4);
    uint32_t sum = 0;
    for (int i = 0; i < 32; ++i) {
        l += (((r << 4) ^ (r >> 5)) + r) ^ (sum + m_k[sum & 3]);
        sum += kDelta;
        r += (((l << 4) ^ (l >> 5)) + l) ^ (sum + m_k[(sum >> 11) & 3]);
    }
    StoreWordBE(l, out);
    StoreWordBE(r, out + 4);
}

void CZEP3DCryptTEA::DecryptBlock8(const unsigned char* in, unsigned char* out) const {
    uint32_t l = LoadWordBE(in);
    uint32_t r = LoadWordBE(in + 4);
    uint32_t sum = kDecipherSum;
    for (int i = 0; i < 32; ++i) {
        r -= (((l << 4) ^ (l >> 5)) + l) ^ (sum + m_k[(sum >> 11) & 3]);
        sum -= kDelta;
        l -= (((r << 4) ^ (r >> 5)) + r) ^ (sum + m_k[sum & 3]);
    }
    StoreWordBE(l, out);
    StoreWordBE(r, out + 4);
}

void CZEP3DCryptTEA::Encrypt(const char* in, char* result, size_t n) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptTEA::Encrypt()-Object not Initialized!");
        return;
    }
    if (n == 0 || n % 8 != 0) {
        zep::platform::DebugOutput("CZEP3DCryptTEA::Encrypt()-Illegal Block Size!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    ModeEncrypt<8>(m_iOperationMode, reinterpret_cast<const unsigned char*>(in),
                   reinterpret_cast<unsigned char*>(result), n, m_chain, 8,
                   [this](const unsigned char* i, unsigned char* o) { EncryptBlock8(i, o); });
}

void CZEP3DCryptTEA::Decrypt(const char* in, char* result, size_t n) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptTEA::Decrypt()-Object not Initialized!");
        return;
    }
    if (n == 0 || n % 8 != 0) {
        zep::platform::DebugOutput("CZEP3DCryptTEA::Decrypt()-Illegal Block Size!");
        return;
    }
    if (in == nullptr || result == nullptr) return;
    ModeDecrypt<8>(
        m_iOperationMode, reinterpret_cast<const unsigned char*>(in),
        reinterpret_cast<unsigned char*>(result), n, m_chain, 8,
        [this](const unsigned char* i, unsigned char* o) { EncryptBlock8(i, o); },
        [this](const unsigned char* i, unsigned char* o) { DecryptBlock8(i, o); });
}

void CZEP3DCryptTEA::ResetChain() {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("CZEP3DCryptTEA::ResetChain()-Object not Initialized!");
        return;
    }
    std::memcpy(m_chain, m_initChain, sizeof(m_chain));
}

void CZEP3DCryptTEA::GetFingerprint(char* out) {
    char text[23] = {0};
    std::memcpy(text, "TEA", 3);
    std::memcpy(text + 3, m_key, sizeof(m_key));
    std::snprintf(text + 19, sizeof(text) - 19, "%d%d", static_cast<int>(m_iOperationMode),
                  static_cast<int>(m_iPaddingMode));
    DigestFingerprintText(text, sizeof(text), out);
}

void CZEP3DCryptTEA::EncryptFile(const std::string& inFile, const std::string& outFile) {
    RunEncryptFile(inFile, outFile, kTeaFileMessages);
}

void CZEP3DCryptTEA::DecryptFile(const std::string& inFile, const std::string& outFile) {
    RunDecryptFile(inFile, outFile, kTeaFileMessages);
}

}  // namespace ZEP3DFileCrypt
