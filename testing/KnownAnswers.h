// Test support: reading the known-answer files of testing/data, hex helpers, and making initialised
// method objects of every kind for the tests that all methods share.
#ifndef ZEP3D_TESTING_KNOWNANSWERS_H_
#define ZEP3D_TESTING_KNOWNANSWERS_H_

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "filecrypt/ZEP3DICryptMethod.h"
#include "filecrypt/ZEP3DMessageDigestSHA.h"

namespace zep {
namespace filecrypt {
namespace testing {

// One record of a known-answer file: "[Name]" opens a section; "Key = ", "In = " (hex) and
// "Repeat = " (a count) set fields that carry over to the next record; "Out = " (hex) ends a record.
// Lines starting with "#" are comments.
struct KnownAnswer {
    std::string section, key, in, out;
    size_t repeat = 1;
    int line = 0;
};

// All records of testing/data/<name>; fails the calling test (and returns none) when the file is
// missing or malformed.
std::vector<KnownAnswer> ReadKnownAnswers(const std::string& name);

std::string FromHex(const std::string& hex);
std::string ToHex(const std::string& bytes);  // upper case

// The kinds of method the tests run over: the kit number, key bytes and block size; and the class names
// by kit number.
struct Kind {
    unsigned int method;
    size_t keyBytes;
    int blockSize;
    const char* name;
};
inline const Kind kKinds[] = {
    {0, 16, 16, "RIJNDAEL-16"}, {0, 32, 24, "RIJNDAEL-24"}, {0, 24, 32, "RIJNDAEL-32"},
    {1, 56, 8, "BLOWFISH"},     {2, 16, 8, "TEA"},
};
inline const char* const kClassNames[] = {"CZEP3DCryptRijndael", "CZEP3DCryptBlowFish", "CZEP3DCryptTEA"};

// A new, uninitialised method of the given kit number (0 RIJNDAEL, 1 BLOWFISH, 2 TEA).
std::unique_ptr<ZEP3DFileCrypt::ZEP3DICryptMethod> NewMethod(unsigned int method);

// A method of the given kit number initialised from `key` with a zero initial chain block.
std::unique_ptr<ZEP3DFileCrypt::ZEP3DICryptMethod> MakeMethod(unsigned int method, const std::string& key,
                                                              int blockSize, unsigned int mode,
                                                              unsigned int padding = 0);

// `in` enciphered (or deciphered) by one call, and the method's fingerprint.
std::string Apply(ZEP3DFileCrypt::ZEP3DICryptMethod& method, bool encrypt, const std::string& in);
std::string Fingerprint(ZEP3DFileCrypt::ZEP3DICryptMethod& method);

// The digest of `message` fed in pieces of `piece` bytes (0: one piece), on `reused` or a new object.
std::string Digest(const std::string& message, size_t piece,
                   ZEP3DFileCrypt::CZEP3DMessageDigestSHA* reused = nullptr);

// Deterministic pseudo-random bytes.
std::string PseudoRandomBytes(size_t count, unsigned int seed);

}  // namespace testing
}  // namespace filecrypt
}  // namespace zep

#endif  // ZEP3D_TESTING_KNOWNANSWERS_H_
