// The Rijndael method: block sizes and key lengths of 16, 24 and 32 bytes; AES with 16-byte blocks.
#ifndef ZEP3D_FILECRYPT_ZEP3DCRYPTRIJNDAEL_H_
#define ZEP3D_FILECRYPT_ZEP3DCRYPTRIJNDAEL_H_

#include <cstdint>

#include "filecrypt/CryptInstructions.h"
#include "filecrypt/ZEP3DICryptMethod.h"

namespace ZEP3DFileCrypt {

// Method 0 of the kit. The chain block lives on between Encrypt (or Decrypt) calls, so a message may
// be enciphered in several calls with the same result as in one; only ResetChain or Initialize starts
// it afresh. Holds all its tables and buffers inside the object: nothing is allocated after
// construction. Key bytes and round keys are wiped on re-keying and destruction. With a 16-byte block
// it runs on the processor's AES instructions where it has them (see CryptInstructions.h), with round
// keys taken from the same key schedule, so both paths give the same bytes.
class CZEP3DCryptRijndael : public ZEP3DICryptMethod {
  public:
    CZEP3DCryptRijndael();
    ~CZEP3DCryptRijndael() override;

    // SHA-256 of "RIJNDAEL", the key bytes and "%d%d%d%d" of block size, key length, operation mode and
    // padding mode, up to the first zero byte of that text.
    void GetFingerprint(char* out) override;
    // keyLength and blockSize must each be 16, 24 or 32; the first blockSize bytes of initChain are the
    // initial chain block.
    void Initialize(const char* keyData, int keyDataLength, const char* initChain, int keyLength,
                    int blockSize, unsigned int operationMode, unsigned int paddingMode) override;
    void Encrypt(const char* in, char* result, size_t n) override;
    void Decrypt(const char* in, char* result, size_t n) override;
    void EncryptFile(const std::string& inFile, const std::string& outFile) override;
    void DecryptFile(const std::string& inFile, const std::string& outFile) override;
    void ResetChain() override;

    // One 16-byte block (refused, with the function's own message, before Initialize; meaningful only
    // with a 16-byte block size).
    void DefEncryptBlock(const char* in, char* result);
    void DefDecryptBlock(const char* in, char* result);
    // One block of the object's block size.
    void EncryptBlock(const char* in, char* result);
    void DecryptBlock(const char* in, char* result);

    // The number of rounds of the current key length and block size (0 before Initialize).
    int GetRounds() const { return m_iRounds; }

  private:
    void EncryptBlock16(const unsigned char* in, unsigned char* out) const;
    void DecryptBlock16(const unsigned char* in, unsigned char* out) const;
    void Encrypt16(const unsigned char* in, unsigned char* out, size_t n);
    void Decrypt16(const unsigned char* in, unsigned char* out, size_t n);
    void EncryptBlockAny(const unsigned char* in, unsigned char* out) const;
    void DecryptBlockAny(const unsigned char* in, unsigned char* out) const;
    void WipeKeyMaterial();

    static constexpr int kMaxRounds = 14;
    static constexpr int kMaxWords = 8;

    unsigned char m_key[32];
    uint32_t m_Ke[kMaxRounds + 1][kMaxWords];
    uint32_t m_Kd[kMaxRounds + 1][kMaxWords];
    int m_iRounds;
    unsigned char m_initChain[32];
    unsigned char m_chain[32];
    // m_Ke and m_Kd as the AES instructions take them (16-byte blocks only).
    zep::filecrypt::AesRoundKeys m_aesKeys;
};

}  // namespace ZEP3DFileCrypt

#endif  // ZEP3D_FILECRYPT_ZEP3DCRYPTRIJNDAEL_H_
