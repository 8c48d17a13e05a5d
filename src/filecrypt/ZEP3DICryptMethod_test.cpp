// Tests of the rules every method shares: padding, Xor, the chaining modes across calls, CFB without
// the block decipher, refused lengths, and working in place.
#include "filecrypt/ZEP3DICryptMethod.h"

#include <gtest/gtest.h>

#include <cstring>

#include "KnownAnswers.h"
#include "TestUtil.h"
#include "filecrypt/ZEP3DCryptRijndael.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::MakeMethod;
using zep::filecrypt::testing::PseudoRandomBytes;

struct Kind {
    unsigned int method;
    size_t keyBytes;
    int blockSize;
    const char* name;
};

const Kind kKinds[] = {
    {0, 16, 16, "RIJNDAEL-16"}, {0, 32, 24, "RIJNDAEL-24"}, {0, 24, 32, "RIJNDAEL-32"},
    {1, 56, 8, "BLOWFISH"},     {2, 16, 8, "TEA"},
};

std::string Apply(ZEP3DICryptMethod& method, bool encrypt, const std::string& in) {
    std::string out(in.size(), '\0');
    if (encrypt) {
        method.Encrypt(in.data(), &out[0], in.size());
    } else {
        method.Decrypt(in.data(), &out[0], in.size());
    }
    return out;
}

TEST(CryptMethod, PaddingFillsToWholeBlocksInEachModeAndNeverAddsAWholeBlock) {
    const unsigned char fills[3] = {0x00, 0x20, 0x03};
    for (unsigned int padding = 0; padding < 3; ++padding) {
        auto method = MakeMethod(0, std::string(16, 'k'), 16, ECB, padding);
        char buffer[48];
        std::memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(method->Padding(buffer, 13), 16);
        for (int i = 0; i < 13; ++i) EXPECT_EQ(buffer[i], 'x');
        for (int i = 13; i < 16; ++i) EXPECT_EQ(static_cast<unsigned char>(buffer[i]), fills[padding]);
        EXPECT_EQ(buffer[16], 'x');

        std::memset(buffer, 'x', sizeof(buffer));
        EXPECT_EQ(method->Padding(buffer, 32), 32);
        EXPECT_EQ(method->Padding(buffer, 0), 0);
        EXPECT_EQ(std::string(buffer, 48), std::string(48, 'x'));
    }
    auto count = MakeMethod(2, std::string(16, 'k'), 8, ECB, PADCOUNT);
    char buffer[16];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(count->Padding(buffer, 1), 8);
    EXPECT_EQ(std::string(buffer, 9), std::string("x\x07\x07\x07\x07\x07\x07\x07x"));
    // A negative length would write in front of the buffer: refused.
    EXPECT_EQ(count->Padding(buffer + 8, -3), -1);
    EXPECT_EQ(std::string(buffer, 9), std::string("x\x07\x07\x07\x07\x07\x07\x07x"));
}

TEST(CryptMethod, XorAndPaddingRefuseAnUninitialisedObject) {
    zep::testing::DebugOutputCapture debug;
    CZEP3DCryptRijndael method;
    char buffer[32] = {1}, with[32] = {2};
    method.Xor(buffer, with);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(method.Padding(buffer, 5), -1);
    EXPECT_EQ(debug.Messages(),
              (std::vector<std::string>{"ZEP3DICryptMethod::Xor()-Object not Initialized",
                                        "ZEP3DICryptMethod::Padding()-Object not Initialized"}));
    auto ready = MakeMethod(2, std::string(16, 'k'), 8, ECB);
    ready->Xor(buffer, with);
    EXPECT_EQ(buffer[0], 3);
    EXPECT_EQ(buffer[7], 0);
    EXPECT_EQ(buffer[8], 0);
}

TEST(CryptMethod, ByteOrderHelpersTakeTheMostSignificantByteFirst) {
    EXPECT_EQ(ZEP3DICryptMethod::BytesToWord("\x12\x34\x56\x78"), 0x12345678u);
    char bytes[4];
    ZEP3DICryptMethod::WordToBytes(0xA1B2C3D4u, bytes);
    EXPECT_EQ(std::string(bytes, 4), "\xA1\xB2\xC3\xD4");
}

TEST(CryptMethod, EveryModeRoundTripsAndChainsAcrossCallsExceptInBlowfish) {
    for (const Kind& kind : kKinds) {
        for (unsigned int mode : {ECB, CBC, CFB}) {
            SCOPED_TRACE(std::string(kind.name) + " mode " + std::to_string(mode));
            std::string key = PseudoRandomBytes(kind.keyBytes, mode + 1);
            std::string plain = PseudoRandomBytes(static_cast<size_t>(kind.blockSize) * 6, mode + 7);
            auto method = MakeMethod(kind.method, key, kind.blockSize, mode);
            std::string whole = Apply(*method, true, plain);
            EXPECT_NE(whole, plain);
            method->ResetChain();
            EXPECT_EQ(Apply(*method, false, whole), plain);

            // The same message in two calls.
            method->ResetChain();
            size_t cut = static_cast<size_t>(kind.blockSize) * 2;
            std::string split = Apply(*method, true, plain.substr(0, cut));
            split += Apply(*method, true, plain.substr(cut));
            bool chainsAcrossCalls = kind.method != 1 || mode == ECB;
            EXPECT_EQ(split == whole, chainsAcrossCalls);
            EXPECT_EQ(split.substr(0, cut), whole.substr(0, cut));

            // After ResetChain the first block enciphers as at the start.
            method->ResetChain();
            EXPECT_EQ(Apply(*method, true, plain), whole);
        }
    }
}

TEST(CryptMethod, CbcAndCfbFollowTheirDefinitionsOverTheBlockEncipher) {
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const size_t bs = static_cast<size_t>(kind.blockSize);
        std::string key = PseudoRandomBytes(kind.keyBytes, 21);
        std::string plain = PseudoRandomBytes(bs * 3, 22);
        auto ecb = MakeMethod(kind.method, key, kind.blockSize, ECB);
        auto cbc = MakeMethod(kind.method, key, kind.blockSize, CBC);
        auto cfb = MakeMethod(kind.method, key, kind.blockSize, CFB);
        auto xorBlocks = [bs](std::string a, const std::string& b) {
            for (size_t i = 0; i < bs; ++i) a[i] = static_cast<char>(a[i] ^ b[i]);
            return a;
        };
        std::string chain(bs, '\0'), expectedCbc, expectedCfb;
        std::string cfbChain(bs, '\0');
        for (size_t b = 0; b < 3; ++b) {
            std::string p = plain.substr(b * bs, bs);
            chain = Apply(*ecb, true, xorBlocks(chain, p));
            expectedCbc += chain;
            cfbChain = xorBlocks(Apply(*ecb, true, cfbChain), p);
            expectedCfb += cfbChain;
        }
        EXPECT_EQ(Apply(*cbc, true, plain), expectedCbc);
        EXPECT_EQ(Apply(*cfb, true, plain), expectedCfb);
        cfb->ResetChain();
        EXPECT_EQ(Apply(*cfb, false, expectedCfb), plain);
    }
}

TEST(CryptMethod, RefusedLengthsWriteNothingAndLeaveTheChain) {
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const size_t bs = static_cast<size_t>(kind.blockSize);
        std::string key = PseudoRandomBytes(kind.keyBytes, 31);
        std::string plain = PseudoRandomBytes(bs * 2, 32);
        auto method = MakeMethod(kind.method, key, kind.blockSize, CBC);
        auto reference = MakeMethod(kind.method, key, kind.blockSize, CBC);
        std::string first = Apply(*method, true, plain.substr(0, bs));
        Apply(*reference, true, plain.substr(0, bs));

        zep::testing::DebugOutputCapture debug;
        std::string out(bs * 2, 'u');
        method->Encrypt(plain.data(), &out[0], 0);
        method->Encrypt(plain.data(), &out[0], bs + 1);
        method->Decrypt(plain.data(), &out[0], bs - 1);
        EXPECT_EQ(out, std::string(bs * 2, 'u'));
        ASSERT_EQ(debug.Messages().size(), 3u);
        EXPECT_NE(debug.Messages()[0].find("::Encrypt()-Illegal Block Size!"), std::string::npos);
        EXPECT_NE(debug.Messages()[2].find("::Decrypt()-Illegal Block Size!"), std::string::npos);
        EXPECT_EQ(Apply(*method, true, plain.substr(bs)), Apply(*reference, true, plain.substr(bs)));
    }
}

TEST(CryptMethod, EnciphersAndDeciphersInPlace) {
    for (const Kind& kind : kKinds) {
        for (unsigned int mode : {ECB, CBC, CFB}) {
            SCOPED_TRACE(std::string(kind.name) + " mode " + std::to_string(mode));
            std::string key = PseudoRandomBytes(kind.keyBytes, 41);
            std::string plain = PseudoRandomBytes(static_cast<size_t>(kind.blockSize) * 5, 42);
            auto method = MakeMethod(kind.method, key, kind.blockSize, mode);
            std::string expected = Apply(*method, true, plain);
            method->ResetChain();
            std::string buffer = plain;
            method->Encrypt(buffer.data(), &buffer[0], buffer.size());
            EXPECT_EQ(buffer, expected);
            method->ResetChain();
            method->Decrypt(buffer.data(), &buffer[0], buffer.size());
            EXPECT_EQ(buffer, plain);
        }
    }
}

}  // namespace
}  // namespace ZEP3DFileCrypt
