// The processor's AES and SHA instructions for the crypt kit: the run-time choice between them and the
// portable table code, and the cipher and digest functions built on them.
#ifndef ZEP3D_FILECRYPT_CRYPTINSTRUCTIONS_H_
#define ZEP3D_FILECRYPT_CRYPTINSTRUCTIONS_H_

#include <cstddef>
#include <cstdint>

namespace zep {
namespace filecrypt {

// True when Rijndael with a 16-byte block, resp. SHA-256, runs on the processor's instructions: the
// processor has them and the portable code is not forced. The portable code is forced when the
// environment variable ZEP3D_PORTABLE_CRYPT holds a value other than "0" as the process first asks
// (for comparing the two paths), or by ForcePortableCrypt.
bool UseAesInstructions();
bool UseShaInstructions();

// Tests and benchmarks: true runs the portable code from now on, false gives the choice back to the
// processor. Takes effect at the next call of a cipher or digest; a method object needs no new key.
// Returns whether the portable code was forced before.
bool ForcePortableCrypt(bool portable);

// The round keys of a 16-byte-block Rijndael key as the instructions take them: each round key's
// words stored most significant byte first, which is the byte order of the block. `enc[r]` is round
// key r of enciphering; `dec[r]` that of the equivalent inverse cipher (the enciphering key of round
// rounds - r, InvMixColumn applied to rounds 1 to rounds - 1), so both come from the one key schedule.
struct AesRoundKeys {
    unsigned char enc[15][16];
    unsigned char dec[15][16];
    int rounds;  // 10, 12 or 14
};

// The chaining modes on whole 16-byte blocks (n a multiple of 16), the chain block advanced as the
// table code does it; `mode` is ECB, CBC or CFB. `in` may equal `out`.
// REQUIRES: UseAesInstructions().
void AesEncrypt(const AesRoundKeys& keys, unsigned int mode, unsigned char* chain, const unsigned char* in,
                unsigned char* out, size_t n);
void AesDecrypt(const AesRoundKeys& keys, unsigned int mode, unsigned char* chain, const unsigned char* in,
                unsigned char* out, size_t n);
// One block each.
// REQUIRES: UseAesInstructions().
void AesEncryptBlock(const AesRoundKeys& keys, const unsigned char* in, unsigned char* out);
void AesDecryptBlock(const AesRoundKeys& keys, const unsigned char* in, unsigned char* out);

// The SHA-256 compression of `count` consecutive 64-byte blocks into the running hash value.
// REQUIRES: UseShaInstructions().
void Sha256CompressBlocks(uint32_t state[8], const unsigned char* blocks, size_t count);

}  // namespace filecrypt
}  // namespace zep

#endif  // ZEP3D_FILECRYPT_CRYPTINSTRUCTIONS_H_
