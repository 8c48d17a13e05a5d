// The constant tables of the crypt kit's ciphers and digest, written once by gen_tables.py.
#ifndef ZEP3D_FILECRYPT_CRYPTTABLES_H_
#define ZEP3D_FILECRYPT_CRYPTTABLES_H_

#include <cstdint>

namespace zep {
namespace filecrypt {

// Rijndael: the S-box and its inverse; the four encryption round tables (S-box combined with
// MixColumn; kRijndaelTe[i] is kRijndaelTe[0] rotated right by i bytes); the four decryption round
// tables (inverse S-box combined with InvMixColumn, rotated the same way); InvMixColumn of a key word
// byte by byte (kRijndaelU, rotated the same way); the S-box value alone in the byte of row r of a
// column word (kRijndaelSboxRow[r][x] = S(x) << (24 - 8r), for the last enciphering round); and the
// 30 round constants of the key schedule.
extern const uint8_t kRijndaelSbox[256];
extern const uint8_t kRijndaelSboxInv[256];
extern const uint32_t kRijndaelTe[4][256];
extern const uint32_t kRijndaelTd[4][256];
extern const uint32_t kRijndaelU[4][256];
extern const uint32_t kRijndaelSboxRow[4][256];
extern const uint8_t kRijndaelRcon[30];

// Blowfish: the initial P-array and the four initial S-boxes.
extern const uint32_t kBlowFishInitP[18];
extern const uint32_t kBlowFishInitS0[256];
extern const uint32_t kBlowFishInitS1[256];
extern const uint32_t kBlowFishInitS2[256];
extern const uint32_t kBlowFishInitS3[256];

// SHA-256: the 64 round constants and the initial hash value.
extern const uint32_t kSha256K[64];
extern const uint32_t kSha256H0[8];

}  // namespace filecrypt
}  // namespace zep

#endif  // ZEP3D_FILECRYPT_CRYPTTABLES_H_
