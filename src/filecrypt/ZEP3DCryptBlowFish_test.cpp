// Tests of the Blowfish method beyond the published answers: a re-initialisation with the same key keeps
// the key schedule and takes the new modes.
#include "filecrypt/ZEP3DCryptBlowFish.h"

#include <gtest/gtest.h>

#include "KnownAnswers.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::MakeMethod;
using zep::filecrypt::testing::PseudoRandomBytes;

TEST(CryptBlowFish, AReinitialisationWithTheSameKeyTakesTheNewModes) {
    std::string key = PseudoRandomBytes(56, 4);
    CZEP3DCryptBlowFish method;
    method.Initialize(key.data(), 56, nullptr, 56, 8, ECB, ZEROES);
    method.Initialize(key.data(), 56, nullptr, 56, 8, CFB, BLANKS);
    EXPECT_EQ(method.GetOperationMode(), unsigned(CFB));
    EXPECT_EQ(method.GetPaddingMode(), unsigned(BLANKS));
    auto fresh = MakeMethod(1, key, 8, CFB, BLANKS);
    std::string plain = PseudoRandomBytes(24, 5), a(24, '\0'), b(24, '\0');
    method.Encrypt(plain.data(), &a[0], 24);
    fresh->Encrypt(plain.data(), &b[0], 24);
    EXPECT_EQ(a, b);
}

}  // namespace
}  // namespace ZEP3DFileCrypt
