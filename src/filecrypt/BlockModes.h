// The chaining modes shared by the block-cipher methods, as templates over a method's block functions,
// so each method's rounds are inlined into its mode loops.
#ifndef ZEP3D_FILECRYPT_BLOCKMODES_H_
#define ZEP3D_FILECRYPT_BLOCKMODES_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "filecrypt/ZEP3DICryptMethod.h"

namespace zep {
namespace filecrypt {

constexpr size_t kMaxBlockBytes = 32;

inline uint32_t LoadWordBE(const unsigned char* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// True on hosts that keep the least significant byte of a word first; a constant once optimised.
inline bool HostIsLittleEndian() {
    const uint32_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

inline void StoreWordBE(uint32_t v, unsigned char* p) {
    // One whole-word store of the byte-swapped value. As four byte stores, the compiler gathered the
    // bytes of neighbouring words into one vector store through the stack, keeping chained state words
    // in memory between blocks.
    if (HostIsLittleEndian()) {
        v = (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
    }
    std::memcpy(p, &v, sizeof(v));
}

// Enciphers n bytes (a whole number of blocks) in `mode`, advancing `chain`. `enc(in, out)` enciphers
// one block and may be called with in == out. A block size of kBlock (when non-zero) is fixed at
// compile time; otherwise `blockSize` gives it. `in` may equal `out`.
template <size_t kBlock, class Enc>
void ModeEncrypt(unsigned int mode, const unsigned char* in, unsigned char* out, size_t n,
                 unsigned char* chain, size_t blockSize, Enc enc) {
    const size_t bs = kBlock != 0 ? kBlock : blockSize;
    unsigned char stream[kMaxBlockBytes];
    switch (mode) {
        case ZEP3DFileCrypt::ECB:
            for (size_t pos = 0; pos < n; pos += bs) enc(in + pos, out + pos);
            break;
        case ZEP3DFileCrypt::CBC:
            for (size_t pos = 0; pos < n; pos += bs) {
                for (size_t i = 0; i < bs; ++i) chain[i] ^= in[pos + i];
                enc(chain, chain);
                std::memcpy(out + pos, chain, bs);
            }
            break;
        case ZEP3DFileCrypt::CFB:
            for (size_t pos = 0; pos < n; pos += bs) {
                enc(chain, stream);
                for (size_t i = 0; i < bs; ++i) chain[i] = stream[i] ^ in[pos + i];
                std::memcpy(out + pos, chain, bs);
            }
            break;
        default:
            break;
    }
}

// Deciphers n bytes in `mode`, advancing `chain`; `dec` deciphers one block, `enc` enciphers one (CFB
// deciphers with the block encipher). `in` may equal `out`.
template <size_t kBlock, class Enc, class Dec>
void ModeDecrypt(unsigned int mode, const unsigned char* in, unsigned char* out, size_t n,
                 unsigned char* chain, size_t blockSize, Enc enc, Dec dec) {
    const size_t bs = kBlock != 0 ? kBlock : blockSize;
    unsigned char stream[kMaxBlockBytes];
    unsigned char saved[kMaxBlockBytes];
    switch (mode) {
        case ZEP3DFileCrypt::ECB:
            for (size_t pos = 0; pos < n; pos += bs) dec(in + pos, out + pos);
            break;
        case ZEP3DFileCrypt::CBC:
            for (size_t pos = 0; pos < n; pos += bs) {
                std::memcpy(saved, in + pos, bs);
                dec(saved, stream);
                for (size_t i = 0; i < bs; ++i) out[pos + i] = stream[i] ^ chain[i];
                std::memcpy(chain, saved, bs);
            }
            break;
        case ZEP3DFileCrypt::CFB:
            for (size_t pos = 0; pos < n; pos += bs) {
                std::memcpy(saved, in + pos, bs);
                enc(chain, stream);
                for (size_t i = 0; i < bs; ++i) out[pos + i] = stream[i] ^ saved[i];
                std::memcpy(chain, saved, bs);
            }
            break;
        default:
            break;
    }
}

}  // namespace filecrypt
}  // namespace zep

#endif  // ZEP3D_FILECRYPT_BLOCKMODES_H_
