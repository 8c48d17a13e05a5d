// The TEA method: the XTEA block function (64-bit block, 128-bit key, 32 cycles).
#ifndef ZEP3D_FILECRYPT_ZEP3DCRYPTTEA_H_
#define ZEP3D_FILECRYPT_ZEP3DCRYPTTEA_H_

#include <cstdint>

#include "filecrypt/ZEP3DICryptMethod.h"

namespace ZEP3DFileCrypt {

// Method 2 of the kit: 8-byte blocks, 16-byte key. The chain block lives on between calls, as in
// Rijndael. Key bytes and words are wiped on re-keying and destruction.
class CZEP3DCryptTEA : public ZEP3DICryptMethod {
  public:
    CZEP3DCryptTEA();
    ~CZEP3DCryptTEA() override;

    // SHA-256 of "TEA", the 16 key bytes and "%d%d" of operation mode and padding mode, up to the first
    // zero byte of that text.
    void GetFingerprint(char* out) override;
    // The key length and block size arguments are ignored (always 16 and 8); initChain holds 8 bytes.
    // Re-initialising with the same key only takes the new modes and chain block.
    void Initialize(const char* keyData, int keyDataLength, const char* initChain, int keyLength,
                    int blockSize, unsigned int operationMode, unsigned int paddingMode) override;
    void Encrypt(const char* in, char* result, size_t n) override;
    void Decrypt(const char* in, char* result, size_t n) override;
    void EncryptFile(const std::string& inFile, const std::string& outFile) override;
    void DecryptFile(const std::string& inFile, const std::string& outFile) override;
    void ResetChain() override;

  private:
    void EncryptBlock8(const unsigned char* in, unsigned char* out) const;
    void DecryptBlock8(const unsigned char* in, unsigned char* out) const;

    // Fixed inside the object (allocated with it) rather than at the first Initialize, so Initialize
    // never allocates and cannot fail for want of memory.
    unsigned char m_key[16];
    uint32_t m_k[4];
    unsigned char m_initChain[8];
    unsigned char m_chain[8];
};

}  // namespace ZEP3DFileCrypt

#endif  // ZEP3D_FILECRYPT_ZEP3DCRYPTTEA_H_
