// Tests of the processor paths: the switch, and the AES instructions against the table code on the same
// objects (every other crypt test, the digest's among them, runs on both paths through the test
// registration).
#include "filecrypt/CryptInstructions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "KnownAnswers.h"
#include "filecrypt/ZEP3DCryptRijndael.h"
#include "platform/CpuFeatures.h"

namespace zep {
namespace filecrypt {
namespace {

using testing::PseudoRandomBytes;
using testing::ToHex;

// Runs the portable code (or the processor's choice) while it lives.
class ScopedPortable {
  public:
    explicit ScopedPortable(bool portable) : before_(ForcePortableCrypt(portable)) {}
    ~ScopedPortable() { ForcePortableCrypt(before_); }

  private:
    bool before_;
};

TEST(CryptInstructions, TheSwitchForcesThePortableCodeAndGivesTheChoiceBackToTheProcessor) {
    const zep::platform::CpuFeatures& cpu = zep::platform::GetCpuFeatures();
    // The environment as the test registration sets it: the portable code for the second run.
    const char* variable = std::getenv("ZEP3D_PORTABLE_CRYPT");
    const bool forced = variable != nullptr && std::string(variable) != "" && std::string(variable) != "0";
    EXPECT_EQ(UseAesInstructions(), cpu.aes && !forced);
    EXPECT_EQ(UseShaInstructions(), cpu.sha && !forced);
    {
        ScopedPortable portable(true);
        EXPECT_FALSE(UseAesInstructions());
        EXPECT_FALSE(UseShaInstructions());
        {
            ScopedPortable processor(false);
            EXPECT_EQ(UseAesInstructions(), cpu.aes);
            EXPECT_EQ(UseShaInstructions(), cpu.sha);
        }
        EXPECT_FALSE(UseAesInstructions());
    }
}

// Enciphers `plain` on one object in pieces of `split` bytes, checks that it deciphers back, and returns
// the ciphertext.
std::string Cipher(ZEP3DFileCrypt::CZEP3DCryptRijndael& method, const std::string& plain, size_t split) {
    std::string out(plain.size(), '\0');
    method.ResetChain();
    for (size_t pos = 0; pos < plain.size(); pos += split) {
        method.Encrypt(plain.data() + pos, &out[pos], std::min(split, plain.size() - pos));
    }
    std::string back = out;
    method.ResetChain();
    method.Decrypt(back.data(), &back[0], back.size());
    EXPECT_EQ(ToHex(back), ToHex(plain));
    return out;
}

TEST(CryptInstructions, AesGivesTheTableCodesBytesInEveryModeKeyLengthAndLength) {
    if (!zep::platform::GetCpuFeatures().aes) GTEST_SKIP() << "the processor has no AES instructions";
    unsigned int seed = 1;
    for (int keyLength : {16, 24, 32}) {
        for (unsigned int mode : {ZEP3DFileCrypt::ECB, ZEP3DFileCrypt::CBC, ZEP3DFileCrypt::CFB}) {
            // Around the eight blocks that the instructions take at a time, and pieces that end inside
            // such a group.
            for (size_t blocks : {1, 2, 7, 8, 9, 16, 23, 41}) {
                SCOPED_TRACE("key " + std::to_string(keyLength) + " mode " + std::to_string(mode) +
                             " blocks " + std::to_string(blocks));
                const std::string key = PseudoRandomBytes(static_cast<size_t>(keyLength), ++seed);
                const std::string chain = PseudoRandomBytes(16, ++seed);
                const std::string plain = PseudoRandomBytes(16 * blocks, ++seed);
                ZEP3DFileCrypt::CZEP3DCryptRijndael method;
                method.Initialize(key.data(), keyLength, chain.data(), keyLength, 16, mode,
                                  ZEP3DFileCrypt::ZEROES);
                std::string table;
                {
                    ScopedPortable portable(true);
                    table = Cipher(method, plain, plain.size());
                }
                EXPECT_EQ(ToHex(Cipher(method, plain, plain.size())), ToHex(table));
                EXPECT_EQ(ToHex(Cipher(method, plain, 48)), ToHex(table));
            }
        }
    }
}

}  // namespace
}  // namespace filecrypt
}  // namespace zep
