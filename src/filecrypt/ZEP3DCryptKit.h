// The crypt kit façade: creates a method by number from a key text and deciphers hexadecimal strings.
#ifndef ZEP3D_FILECRYPT_ZEP3DCRYPTKIT_H_
#define ZEP3D_FILECRYPT_ZEP3DCRYPTKIT_H_

#include <string>

#include "filecrypt/ZEP3DICryptMethod.h"

namespace ZEP3DFileCrypt {

// The kit's methods; passed as a plain unsigned value, anything above TEA is unknown.
enum CryptMethod : unsigned int {
    RIJNDAEL = 0,
    BLOWFISH = 1,
    TEA = 2,
};

// How the key text becomes key data; any value but HEX is taken as TEXT.
enum KeyForm : unsigned int {
    TEXT = 0,  // the key text's bytes are the key data
    HEX = 1,   // two upper-case hexadecimal digits per key byte
};

// Owns one method object at a time. Failures are reported on the debugger channel and as a false
// result; no exception leaves the kit. The key text and the method's key material are wiped when the
// kit is re-created, destroyed or ends.
class CZEP3DCryptKit {
  public:
    CZEP3DCryptKit();
    virtual ~CZEP3DCryptKit();
    CZEP3DCryptKit(const CZEP3DCryptKit&) = delete;
    CZEP3DCryptKit& operator=(const CZEP3DCryptKit&) = delete;

    // Checks, in this order, the data type (0 or 1), the method, the operation mode, the padding mode,
    // the key length and the block size for the method (RIJNDAEL 16/24/32 and 16/24/32, BLOWFISH 56 and
    // 8, TEA 16 and 8). On a failed check it reports "CZEP3DCryptKit::Create()-Unknowable ...!" and
    // returns false with the kit as it was. Otherwise it replaces any earlier method by a new one
    // initialised from the key text and returns true. A null key text is taken as empty.
    bool Create(unsigned int dataType, unsigned int method, unsigned int operationMode,
                unsigned int paddingMode, const char* keyText, unsigned int keyForm, int keyLength,
                int blockSize);

    // Releases the method (wiping its key material). Returns true.
    bool Destroy();

    // Deciphers the ciphertext given as hexadecimal text (two upper-case digits a byte; decoding stops at
    // the first pair with another character, the rest of the ciphertext being zero; an odd last digit is
    // ignored) from a fresh chain. Writes the plaintext up to its first zero byte to `plainText` and the
    // plaintext as upper-case hexadecimal digits to `hexEcho`. When the method refuses the length
    // (n = 0 or not whole blocks) both outputs are empty and the result is still true. Before Create it
    // reports "CZEP3DCryptKit::DecryptionString()-Object not created!", returns false and leaves the
    // outputs alone. Null outputs are not written.
    // REQUIRES: plainText has room for strlen(hexText) / 2 + 1 bytes, hexEcho for
    // 2 * (strlen(hexText) / 2) + 1.
    bool DecryptionString(const char* hexText, char* plainText, char* hexEcho);

    // The method object while created, else null; owned by the kit.
    ZEP3DICryptMethod* GetMethod() const { return m_pMethod; }
    bool IsCreated() const { return m_bCreated != 0; }

  private:
    void WipeKeyText();

    int m_bCreated;
    ZEP3DICryptMethod* m_pMethod;
    unsigned int m_iDataType;
    unsigned int m_iMethod;
    unsigned int m_iOperationMode;
    unsigned int m_iPaddingMode;
    std::string m_sKey;
    unsigned int m_iKeyForm;
    int m_iKeyLength;
    int m_iBlockSize;
};

namespace detail {

// Decodes up to `count` bytes from pairs of upper-case hexadecimal digits of `text` (which holds at
// least 2 * count characters) into `out`; stops at the first pair with another character. Returns
// the number of bytes decoded; the rest of `out` is not touched.
size_t DecodeHexPairs(const char* text, size_t count, unsigned char* out);

// Writes each of the `count` bytes as two upper-case hexadecimal digits to `out` (2 * count characters,
// no terminating zero): the form that DecodeHexPairs reads.
void EncodeHexPairs(const unsigned char* bytes, size_t count, char* out);

}  // namespace detail

}  // namespace ZEP3DFileCrypt

#endif  // ZEP3D_FILECRYPT_ZEP3DCRYPTKIT_H_
