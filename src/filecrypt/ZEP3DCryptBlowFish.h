// The Blowfish method: 64-bit block, 16 rounds, a 56-byte key.
#ifndef ZEP3D_FILECRYPT_ZEP3DCRYPTBLOWFISH_H_
#define ZEP3D_FILECRYPT_ZEP3DCRYPTBLOWFISH_H_

#include <cstdint>

#include "filecrypt/ZEP3DICryptMethod.h"

namespace ZEP3DFileCrypt {

// Method 1 of the kit: 8-byte blocks, 56 key bytes. Unlike the other methods, every Encrypt and
// Decrypt call starts from the stored (zero) chain block and never writes its chain back, so a message
// must be deciphered in the same pieces as it was enciphered. Key bytes and the key schedule are wiped
// on re-keying and destruction.
class CZEP3DCryptBlowFish : public ZEP3DICryptMethod {
  public:
    CZEP3DCryptBlowFish();
    ~CZEP3DCryptBlowFish() override;

    // SHA-256 of "BLOWFISH", the 56 key bytes and "%d%d" of operation mode and padding mode, up to the
    // first zero byte of that text.
    void GetFingerprint(char* out) override;
    // The key length, block size and initial chain block arguments are ignored: the key is 56 bytes, the
    // block 8 and the chain block zero. Re-initialising with the same key keeps the key schedule (the
    // 521 block encipherings run only when the key changes).
    void Initialize(const char* keyData, int keyDataLength, const char* initChain, int keyLength,
                    int blockSize, unsigned int operationMode, unsigned int paddingMode) override;
    void Encrypt(const char* in, char* result, size_t n) override;
    void Decrypt(const char* in, char* result, size_t n) override;
    void EncryptFile(const std::string& inFile, const std::string& outFile) override;
    void DecryptFile(const std::string& inFile, const std::string& outFile) override;
    void ResetChain() override;

  private:
    void EncryptWords(uint32_t* left, uint32_t* right) const;
    void RunModes(const unsigned char* in, unsigned char* out, size_t n, bool encrypt) const;

    // Fixed inside the object (allocated with it), so Initialize never allocates.
    unsigned char m_key[56];
    uint32_t m_initChain[2];
    uint32_t m_chain[2];
    uint32_t m_P[18];
    uint32_t m_S[4][256];
};

}  // namespace ZEP3DFileCrypt

#endif  // ZEP3D_FILECRYPT_ZEP3DCRYPTBLOWFISH_H_
