// Tests of the TEA method: published XTEA answers, round trips, the settings checks and re-keying.
#include "filecrypt/ZEP3DCryptTEA.h"

#include <gtest/gtest.h>

#include "KnownAnswers.h"
#include "TestUtil.h"
#include "filecrypt/ZEP3DMessageDigestSHA.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::CheckCipherKnownAnswers;
using zep::filecrypt::testing::PseudoRandomBytes;

TEST(CryptTEA, GivesThePublishedXteaAnswers) { CheckCipherKnownAnswers("xtea.vec", 2); }

TEST(CryptTEA, DeciphersEveryBlockBackUnderManyKeys) {
    for (unsigned int seed = 0; seed < 20; ++seed) {
        std::string key = PseudoRandomBytes(16, seed);
        std::string plain = PseudoRandomBytes(8 * 64, seed + 1000);
        CZEP3DCryptTEA method;
        const char chain[8] = {0};
        method.Initialize(key.data(), 16, chain, 16, 8, ECB, ZEROES);
        std::string cipher(plain.size(), '\0'), back(plain.size(), '\0');
        method.Encrypt(plain.data(), &cipher[0], cipher.size());
        method.Decrypt(cipher.data(), &back[0], back.size());
        ASSERT_EQ(back, plain) << "seed " << seed;
        ASSERT_NE(cipher, plain);
    }
}

TEST(CryptTEA, InitializeChecksInOrderAndIgnoresKeyLengthAndBlockSize) {
    zep::testing::DebugOutputCapture debug;
    CZEP3DCryptTEA method;
    const char chain[8] = {0};
    method.Initialize(nullptr, 0, chain, 7, 7, 3, 3);
    method.Initialize("k", 0, chain, 7, 7, 3, 3);
    method.Initialize("k", 1, chain, 7, 7, 3, 3);
    method.Initialize("k", 1, chain, 7, 7, 2, 3);
    EXPECT_EQ(method.IsInitialized(), 0);
    EXPECT_EQ(debug.Messages(), (std::vector<std::string>{
                                    "CZEP3DCryptTEA::Initialize()-No Key DataSpecified!",
                                    "CZEP3DCryptTEA::Initialize()-Key Data Length should be > 0!",
                                    "CZEP3DCryptTEA::Initialize()-Illegal Operation Mode!",
                                    "CZEP3DCryptTEA::Initialize()-Illegal Padding Mode!",
                                }));
    debug.Clear();
    method.Initialize("k", 1, chain, 7, 99, CBC, BLANKS);
    EXPECT_EQ(method.IsInitialized(), 1);
    EXPECT_EQ(method.GetBlockSize(), 8);
    EXPECT_EQ(method.GetKeyLength(), 16);
    EXPECT_TRUE(debug.Messages().empty());

    char buffer[16] = {0}, out[16] = {0};
    method.Encrypt(buffer, out, 12);
    method.Decrypt(buffer, out, 0);
    EXPECT_EQ(std::string(out, 16), std::string(16, '\0'));
    EXPECT_EQ(debug.Messages(), (std::vector<std::string>{
                                    "CZEP3DCryptTEA::Encrypt()-Illegal Block Size!",
                                    "CZEP3DCryptTEA::Decrypt()-Illegal Block Size!",
                                }));
}

TEST(CryptTEA, ReinitialisingWithTheSameKeyTakesTheNewChainAndModes) {
    std::string key = PseudoRandomBytes(16, 3);
    std::string plain = PseudoRandomBytes(16, 4);
    std::string chainA = PseudoRandomBytes(8, 5), chainB = PseudoRandomBytes(8, 6);

    CZEP3DCryptTEA reused;
    reused.Initialize(key.data(), 16, chainA.data(), 16, 8, CBC, ZEROES);
    reused.Initialize(key.data(), 16, chainB.data(), 16, 8, CFB, PADCOUNT);
    CZEP3DCryptTEA fresh;
    fresh.Initialize(key.data(), 16, chainB.data(), 16, 8, CFB, PADCOUNT);
    std::string a(16, '\0'), b(16, '\0');
    reused.Encrypt(plain.data(), &a[0], 16);
    fresh.Encrypt(plain.data(), &b[0], 16);
    EXPECT_EQ(a, b);
    EXPECT_EQ(reused.GetPaddingMode(), unsigned(PADCOUNT));

    // A new key is taken in full.
    std::string other = PseudoRandomBytes(16, 7);
    reused.Initialize(other.data(), 16, chainB.data(), 16, 8, CFB, PADCOUNT);
    CZEP3DCryptTEA fresh2;
    fresh2.Initialize(other.data(), 16, chainB.data(), 16, 8, CFB, PADCOUNT);
    reused.Encrypt(plain.data(), &a[0], 16);
    fresh2.Encrypt(plain.data(), &b[0], 16);
    EXPECT_EQ(a, b);
}

TEST(CryptTEA, FingerprintCoversNameKeyAndModesAndIsSafeBeforeInitialize) {
    auto digest = [](const std::string& text) {
        CZEP3DMessageDigestSHA sha;
        sha.AddData(text.data(), static_cast<int>(text.size()));
        std::string out(32, '\0');
        sha.FinalDigest(&out[0]);
        return out;
    };
    std::string out(32, '\0');
    CZEP3DCryptTEA fresh;
    fresh.GetFingerprint(&out[0]);
    EXPECT_EQ(out, digest("TEA"));
    fresh.Initialize("0123456789abcdef", 16, nullptr, 16, 8, CFB, BLANKS);
    fresh.GetFingerprint(&out[0]);
    EXPECT_EQ(out, digest("TEA0123456789abcdef21"));
}

}  // namespace
}  // namespace ZEP3DFileCrypt
