// The shared parts of the block-cipher methods: framing helpers, key forming, the fingerprint digest and
// the encrypted file operations (FileCipher does the work).
#include "filecrypt/ZEP3DICryptMethod.h"

#include <cstring>

#include "filecrypt/FileCipher.h"
#include "filecrypt/SecureWipe.h"
#include "filecrypt/ZEP3DMessageDigestSHA.h"
#include "platform/Platform.h"

namespace ZEP3DFileCrypt {

namespace {

constexpr int kFingerprintBytes = 32;

}  // namespace

ZEP3DICryptMethod::ZEP3DICryptMethod()
    : m_bInitialized(0), m_iBlockSize(0), m_iKeyLength(0), m_iOperationMode(ECB), m_iPaddingMode(ZEROES) {}

ZEP3DICryptMethod::~ZEP3DICryptMethod() = default;

void ZEP3DICryptMethod::Xor(char* buff, const char* chain) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("ZEP3DICryptMethod::Xor()-Object not Initialized");
        return;
    }
    if (buff == nullptr || chain == nullptr) return;
    for (int i = 0; i < m_iBlockSize; ++i) buff[i] = static_cast<char>(buff[i] ^ chain[i]);
}

int ZEP3DICryptMethod::Padding(char* buffer, int length) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("ZEP3DICryptMethod::Padding()-Object not Initialized");
        return -1;
    }
    // A negative length would put the padding in front of the buffer.
    if (length < 0 || buffer == nullptr) return -1;
    int r = length % m_iBlockSize;
    if (r == 0) return length;
    int p = m_iBlockSize - r;
    char fill = 0;
    if (m_iPaddingMode == BLANKS) {
        fill = 0x20;
    } else if (m_iPaddingMode == PADCOUNT) {
        fill = static_cast<char>(p);
    }
    std::memset(buffer + length, fill, static_cast<size_t>(p));
    return length + p;
}

uint32_t ZEP3DICryptMethod::BytesToWord(const char* bytes) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
}

void ZEP3DICryptMethod::WordToBytes(uint32_t word, char* bytes) {
    unsigned char* b = reinterpret_cast<unsigned char*>(bytes);
    b[0] = static_cast<unsigned char>(word >> 24);
    b[1] = static_cast<unsigned char>(word >> 16);
    b[2] = static_cast<unsigned char>(word >> 8);
    b[3] = static_cast<unsigned char>(word);
}

void ZEP3DICryptMethod::FormKeyBytes(const char* keyData, int keyDataLength, unsigned char* key,
                                     int keyLength) {
    for (int i = 0; i < keyLength; ++i) key[i] = static_cast<unsigned char>(keyData[i % keyDataLength]);
}

void ZEP3DICryptMethod::DigestFingerprintText(char* text, size_t size, char* out) {
    size_t length = 0;
    while (length < size && text[length] != 0) ++length;
    CZEP3DMessageDigestSHA sha;
    sha.AddData(text, static_cast<int>(length));
    char digest[kFingerprintBytes] = {0};
    sha.FinalDigest(digest);
    if (out != nullptr) std::memcpy(out, digest, sizeof(digest));
    zep::filecrypt::SecureWipe(text, size);
}

void ZEP3DICryptMethod::RunEncryptFile(const std::string& inFile, const std::string& outFile,
                                       const FileMessages& messages) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput(messages.encryptNotInitialized);
        return;
    }
    // Whatever failed (the same file, an unreadable input, an output that cannot be written whole), the
    // output is left as it was.
    if (zep::filecrypt::EncipherFile(*this, inFile, outFile).result != zep::filecrypt::FileResult::kDone)
        zep::platform::DebugOutput(messages.encryptError);
}

void ZEP3DICryptMethod::RunDecryptFile(const std::string& inFile, const std::string& outFile,
                                       const FileMessages& messages) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput(messages.decryptNotInitialized);
        return;
    }
    if (zep::filecrypt::DecipherFile(*this, inFile, outFile).result != zep::filecrypt::FileResult::kDone)
        zep::platform::DebugOutput(messages.decryptError);
}

}  // namespace ZEP3DFileCrypt
