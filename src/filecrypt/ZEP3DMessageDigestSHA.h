// The SHA-256 message digest over data given in one or more pieces.
#ifndef ZEP3D_FILECRYPT_ZEP3DMESSAGEDIGESTSHA_H_
#define ZEP3D_FILECRYPT_ZEP3DMESSAGEDIGESTSHA_H_

#include <cstddef>
#include <cstdint>

namespace ZEP3DFileCrypt {

// Computes SHA-256 digests. Call AddData one or more times, then FinalDigest; the object is then
// ready for the next message. Refusals are reported on the debugger channel and change nothing.
class CZEP3DMessageDigestSHA {
  public:
    // Starts at the initial hash value with nothing added.
    CZEP3DMessageDigestSHA();
    // Wipes the running state and the buffered message bytes.
    ~CZEP3DMessageDigestSHA();

    // Appends `length` bytes of `data` to the message. A length below 1 is refused with
    // "CZEP3DMessageDigestSHA::AddData()-Data Length should be > 0!"; a null `data` is ignored.
    void AddData(const char* data, int length);

    // Writes the 32-byte digest of everything added since construction or the last FinalDigest to
    // `out` (most significant byte of each word first) and starts a new message. Without data added it
    // reports "CZEP3DMessageDigestSHA::FinalDigest()-No data Added before call!" and writes nothing.
    void FinalDigest(char* out);

  private:
    void Reset();
    // On the processor's SHA instructions where it has them (see CryptInstructions.h), else by Compress.
    void CompressBlocks(const unsigned char* blocks, size_t count);
    void Compress(const unsigned char* block);

    uint32_t m_state[8];
    uint32_t m_count[2];  // message length in bits, low word first
    unsigned char m_buffer[64];
    bool m_bDataAdded;
};

}  // namespace ZEP3DFileCrypt

#endif  // ZEP3D_FILECRYPT_ZEP3DMESSAGEDIGESTSHA_H_
