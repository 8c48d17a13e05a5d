// Tests of the TEA method beyond the published answers: the fixed key length and block size, and
// re-keying.
#include "filecrypt/ZEP3DCryptTEA.h"

#include <gtest/gtest.h>

#include "KnownAnswers.h"
#include "TestUtil.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::PseudoRandomBytes;

TEST(CryptTEA, IgnoresTheGivenKeyLengthAndBlockSize) {
    zep::testing::DebugOutputCapture debug;
    CZEP3DCryptTEA method;
    const char chain[8] = {0};
    method.Initialize("k", 1, chain, 7, 99, CBC, BLANKS);
    EXPECT_EQ(method.IsInitialized(), 1);
    EXPECT_EQ(method.GetBlockSize(), 8);
    EXPECT_EQ(method.GetKeyLength(), 16);
    EXPECT_TRUE(debug.Messages().empty());
}

TEST(CryptTEA, ReinitialisingTakesTheNewChainAndModesAndANewKeyInFull) {
    std::string key = PseudoRandomBytes(16, 3);
    std::string plain = PseudoRandomBytes(16, 4);
    std::string chainA = PseudoRandomBytes(8, 5), chainB = PseudoRandomBytes(8, 6);
    auto encipher = [&plain](CZEP3DCryptTEA& method) {
        std::string out(16, '\0');
        method.Encrypt(plain.data(), &out[0], 16);
        return out;
    };

    CZEP3DCryptTEA reused;
    reused.Initialize(key.data(), 16, chainA.data(), 16, 8, CBC, ZEROES);
    reused.Initialize(key.data(), 16, chainB.data(), 16, 8, CFB, PADCOUNT);
    CZEP3DCryptTEA fresh;
    fresh.Initialize(key.data(), 16, chainB.data(), 16, 8, CFB, PADCOUNT);
    EXPECT_EQ(encipher(reused), encipher(fresh));
    EXPECT_EQ(reused.GetPaddingMode(), unsigned(PADCOUNT));

    std::string other = PseudoRandomBytes(16, 7);
    reused.Initialize(other.data(), 16, chainB.data(), 16, 8, CFB, PADCOUNT);
    CZEP3DCryptTEA fresh2;
    fresh2.Initialize(other.data(), 16, chainB.data(), 16, 8, CFB, PADCOUNT);
    EXPECT_EQ(encipher(reused), encipher(fresh2));
}

}  // namespace
}  // namespace ZEP3DFileCrypt
