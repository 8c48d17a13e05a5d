// The abstract base of the crypt kit's block-cipher methods: the common interface, settings, chaining
// and padding rules, and the encrypted file format that every method offers.
#ifndef ZEP3D_FILECRYPT_ZEP3DICRYPTMETHOD_H_
#define ZEP3D_FILECRYPT_ZEP3DICRYPTMETHOD_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace ZEP3DFileCrypt {

// How blocks are chained; passed as a plain unsigned value, anything above CFB is illegal.
enum OperationMode : unsigned int {
    ECB = 0,  // each block enciphered alone
    CBC = 1,  // cipher-block chaining
    CFB = 2,  // cipher feedback with a whole block of feedback
};

// How Padding fills the tail of a buffer; passed as a plain unsigned value, anything above PADCOUNT is
// illegal.
enum PaddingMode : unsigned int {
    ZEROES = 0,    // bytes 0x00
    BLANKS = 1,    // bytes 0x20
    PADCOUNT = 2,  // bytes whose value is the number of bytes added
};

// A block-cipher method. Construct, Initialize, then use any number of ResetChain, Encrypt, Decrypt,
// GetFingerprint and file operations. Methods never throw: a refused call writes one message on the
// debugger channel and returns without effect.
class ZEP3DICryptMethod {
  public:
    ZEP3DICryptMethod();
    // Releases the method's buffers; derived methods wipe their key material.
    virtual ~ZEP3DICryptMethod();
    ZEP3DICryptMethod(const ZEP3DICryptMethod&) = delete;
    ZEP3DICryptMethod& operator=(const ZEP3DICryptMethod&) = delete;

    // Writes the 32-byte SHA-256 fingerprint of the method's name, key bytes and settings to `out`.
    // Meant for an initialised object; a null `out` is left alone.
    virtual void GetFingerprint(char* out) = 0;

    // Checks the arguments (each method in its own order, with its own messages) and, if all pass,
    // forms the key bytes by repeating `keyData`, takes the modes and the initial chain block, builds the
    // key schedule and marks the object initialised. A failed check changes nothing. A null
    // `initChain` stands for an all-zero block.
    // REQUIRES: keyData holds keyDataLength bytes; initChain (when given) holds one block.
    virtual void Initialize(const char* keyData, int keyDataLength, const char* initChain, int keyLength,
                            int blockSize, unsigned int operationMode, unsigned int paddingMode) = 0;

    // Enciphers / deciphers `n` bytes from `in` into `result` in the object's operation mode, advancing
    // the chain. `n` must be a non-zero multiple of the block size; otherwise nothing is written and the
    // chain stays. `in` and `result` may be the same buffer but must not overlap otherwise.
    virtual void Encrypt(const char* in, char* result, size_t n) = 0;
    virtual void Decrypt(const char* in, char* result, size_t n) = 0;

    // Enciphers the file `inFile` into `outFile` (32-byte fingerprint, then the ciphertext of the padded
    // plaintext), or deciphers such a file back to the padded plaintext after checking the
    // fingerprint. Failures are reported on the debugger channel only. An `outFile` that is `inFile`
    // (the same path, another spelling of it, or a link to it) is refused, and a fingerprint that does
    // not match is refused before `outFile` is opened. The output is written to a new file beside
    // `outFile` that replaces it, with its permission bits, only when complete (a device is written in
    // place): whatever fails, an existing `outFile` stays as it was and no part of a new one is left.
    virtual void EncryptFile(const std::string& inFile, const std::string& outFile) = 0;
    virtual void DecryptFile(const std::string& inFile, const std::string& outFile) = 0;

    // Sets the current chain block back to the initial one.
    virtual void ResetChain() = 0;

    // buff[i] ^= chain[i] for one block. Refused with "ZEP3DICryptMethod::Xor()-Object not Initialized"
    // before Initialize.
    void Xor(char* buff, const char* chain);

    // Fills buffer[length] onward up to the next multiple of the block size in the padding mode and
    // returns the new length; a length that is already a multiple is returned unchanged. Returns -1
    // before Initialize (reporting "ZEP3DICryptMethod::Padding()-Object not Initialized") and, without a
    // message, for a negative length or a null buffer.
    // REQUIRES: buffer has room for length + block size - 1 bytes.
    int Padding(char* buffer, int length);

    // Four bytes, most significant first, to a word, and back.
    static uint32_t BytesToWord(const char* bytes);
    static void WordToBytes(uint32_t word, char* bytes);

    int IsInitialized() const { return m_bInitialized; }
    int GetBlockSize() const { return m_iBlockSize; }
    int GetKeyLength() const { return m_iKeyLength; }
    unsigned int GetOperationMode() const { return m_iOperationMode; }
    unsigned int GetPaddingMode() const { return m_iPaddingMode; }

    // The four messages of a method's file operations (the methods' own wording).
    struct FileMessages {
        const char* encryptNotInitialized;
        const char* encryptError;
        const char* decryptNotInitialized;
        const char* decryptError;
    };

  protected:
    // The encrypted file format, shared by every method.
    void RunEncryptFile(const std::string& inFile, const std::string& outFile, const FileMessages& messages);
    void RunDecryptFile(const std::string& inFile, const std::string& outFile, const FileMessages& messages);

    // key[i] = keyData[i mod keyDataLength] for i < keyLength.
    static void FormKeyBytes(const char* keyData, int keyDataLength, unsigned char* key, int keyLength);

    // The fingerprint of a text built in a zero-filled buffer of `size` bytes: SHA-256 of the text up to
    // its first zero byte. Wipes the buffer afterwards.
    static void DigestFingerprintText(char* text, size_t size, char* out);

    int m_bInitialized;
    int m_iBlockSize;
    int m_iKeyLength;
    unsigned int m_iOperationMode;
    unsigned int m_iPaddingMode;
};

}  // namespace ZEP3DFileCrypt

#endif  // ZEP3D_FILECRYPT_ZEP3DICRYPTMETHOD_H_
