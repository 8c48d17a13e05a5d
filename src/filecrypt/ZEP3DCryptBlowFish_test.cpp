// Tests of the Blowfish method: the published answers, the initial tables against pi, the chain that
// every call starts afresh, key forming from key data, and the settings checks.
#include "filecrypt/ZEP3DCryptBlowFish.h"

#include <gtest/gtest.h>

#include <vector>

#include "KnownAnswers.h"
#include "TestUtil.h"
#include "filecrypt/CryptTables.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::CheckCipherKnownAnswers;
using zep::filecrypt::testing::MakeMethod;
using zep::filecrypt::testing::PseudoRandomBytes;

// The first `words` 32-bit words of the fractional part of pi, by Machin's formula
// pi = 16 atan(1/5) - 4 atan(1/239) in fixed point with 32-bit limbs (limb 0 the integer part).
std::vector<uint32_t> PiFractionWords(size_t words) {
    const size_t limbs = words + 3;  // guard limbs absorb the truncation of every division
    auto divide = [limbs](std::vector<uint32_t>& x, uint32_t d, size_t from) {
        uint64_t rest = 0;
        for (size_t i = from; i < limbs; ++i) {
            uint64_t value = (rest << 32) | x[i];
            x[i] = static_cast<uint32_t>(value / d);
            rest = value % d;
        }
    };
    auto addScaled = [limbs](std::vector<uint32_t>& sum, const std::vector<uint32_t>& x, uint32_t factor,
                             bool subtract) {
        uint64_t carry = 0;
        for (size_t i = limbs; i-- > 0;) {
            uint64_t product = static_cast<uint64_t>(x[i]) * factor + carry;
            uint32_t low = static_cast<uint32_t>(product);
            carry = product >> 32;
            if (!subtract) {
                uint64_t s = static_cast<uint64_t>(sum[i]) + low;
                sum[i] = static_cast<uint32_t>(s);
                carry += s >> 32;
            } else {
                uint64_t s = static_cast<uint64_t>(sum[i]) - low;
                sum[i] = static_cast<uint32_t>(s);
                carry += (s >> 32) != 0 ? 1 : 0;
            }
        }
    };
    std::vector<uint32_t> pi(limbs, 0);
    struct Series {
        uint32_t x;
        uint32_t factor;
    };
    for (Series series : {Series{5, 16}, Series{239, 4}}) {
        bool negative = series.factor == 4;
        // power = 1 / x^(2k+1); term = power / (2k+1)
        std::vector<uint32_t> power(limbs, 0);
        power[0] = 1;
        divide(power, series.x, 0);
        size_t first = 0;
        for (uint32_t k = 0;; ++k) {
            while (first < limbs && power[first] == 0) ++first;
            if (first == limbs) break;
            std::vector<uint32_t> term = power;
            divide(term, 2 * k + 1, first);
            bool subtract = negative != (k % 2 == 1);
            addScaled(pi, term, series.factor, subtract);
            divide(power, series.x * series.x, first);
        }
    }
    return std::vector<uint32_t>(pi.begin() + 1, pi.begin() + 1 + static_cast<std::ptrdiff_t>(words));
}

TEST(CryptBlowFish, GivesThePublishedAnswersWithEightByteKeyData) {
    CheckCipherKnownAnswers("blowfish.vec", 1);
}

TEST(CryptBlowFish, InitialTablesAreTheHexadecimalDigitsOfPi) {
    std::vector<uint32_t> pi = PiFractionWords(18 + 4 * 256);
    ASSERT_EQ(pi[0], 0x243F6A88u);
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(zep::filecrypt::kBlowFishInitP[i], pi[static_cast<size_t>(i)]) << i;
    const uint32_t* boxes[4] = {zep::filecrypt::kBlowFishInitS0, zep::filecrypt::kBlowFishInitS1,
                                zep::filecrypt::kBlowFishInitS2, zep::filecrypt::kBlowFishInitS3};
    for (int box = 0; box < 4; ++box) {
        for (int i = 0; i < 256; ++i) {
            ASSERT_EQ(boxes[box][i], pi[static_cast<size_t>(18 + 256 * box + i)])
                << "S" << box << "[" << i << "]";
        }
    }
}

TEST(CryptBlowFish, EveryCallStartsFromTheZeroChain) {
    std::string key = PseudoRandomBytes(8, 1);
    std::string plain = PseudoRandomBytes(16, 2);
    auto method = MakeMethod(1, key, 8, CBC);
    auto ecb = MakeMethod(1, key, 8, ECB);
    std::string whole(16, '\0'), parts(16, '\0'), firstAlone(8, '\0'), secondAlone(8, '\0');
    method->Encrypt(plain.data(), &whole[0], 16);
    method->Encrypt(plain.data(), &parts[0], 8);
    method->Encrypt(plain.data() + 8, &parts[8], 8);
    ecb->Encrypt(plain.data(), &firstAlone[0], 8);
    ecb->Encrypt(plain.data() + 8, &secondAlone[0], 8);
    EXPECT_EQ(whole.substr(0, 8), parts.substr(0, 8));
    EXPECT_NE(whole.substr(8), parts.substr(8));
    // The first block of every CBC call is E(P ^ 0) = E(P).
    EXPECT_EQ(parts.substr(0, 8), firstAlone);
    EXPECT_EQ(parts.substr(8), secondAlone);
    // Deciphered in the same pieces, the text comes back.
    std::string back(16, '\0');
    method->Decrypt(parts.data(), &back[0], 8);
    method->Decrypt(parts.data() + 8, &back[8], 8);
    EXPECT_EQ(back, plain);
    method->Decrypt(whole.data(), &back[0], 16);
    EXPECT_EQ(back, plain);
}

TEST(CryptBlowFish, KeyDataIsRepeatedToFiftySixBytes) {
    std::string plain = PseudoRandomBytes(8, 3);
    auto encipher = [&plain](const std::string& keyData) {
        CZEP3DCryptBlowFish method;
        method.Initialize(keyData.data(), static_cast<int>(keyData.size()), nullptr, 0, 0, ECB, ZEROES);
        std::string out(8, '\0');
        method.Encrypt(plain.data(), &out[0], 8);
        return out;
    };
    std::string eight = "8bytekey";
    std::string seven;
    for (int i = 0; i < 7; ++i) seven += eight;
    EXPECT_EQ(encipher(eight), encipher(seven));
    std::string ten = "tenbytekey";
    std::string tenRepeated;
    while (tenRepeated.size() < 56) tenRepeated += ten;
    tenRepeated.resize(56);
    EXPECT_EQ(encipher(ten), encipher(tenRepeated));
    EXPECT_EQ(tenRepeated.substr(50), ten.substr(0, 6));
}

TEST(CryptBlowFish, InitializeChecksInOrderAndAReinitialisationKeepsTheSchedule) {
    zep::testing::DebugOutputCapture debug;
    CZEP3DCryptBlowFish method;
    method.Initialize(nullptr, 0, nullptr, 0, 0, 3, 3);
    method.Initialize("k", -1, nullptr, 0, 0, 3, 3);
    method.Initialize("k", 1, nullptr, 0, 0, 3, 3);
    method.Initialize("k", 1, nullptr, 0, 0, 0, 3);
    EXPECT_EQ(method.IsInitialized(), 0);
    char in[8] = {0}, out[8] = {0};
    method.Encrypt(in, out, 8);
    method.Decrypt(in, out, 8);
    method.ResetChain();
    EXPECT_EQ(debug.Messages(), (std::vector<std::string>{
                                    "CZEP3DCryptBlowFish::Initialize()-No Key DataSpecified!",
                                    "CZEP3DCryptBlowFish::Initialize()-Key Data Length should be > 0!",
                                    "CZEP3DCryptBlowFish::Initialize()-Illegal Operation Mode!",
                                    "CZEP3DCryptBlowFish::Initialize()-Illegal Padding Mode!",
                                    "CZEP3DCryptBlowFish::Encrypt()-Object not Initialized!",
                                    "CZEP3DCryptBlowFish::Decrypt()-Object not Initialized!",
                                    "CZEP3DCryptBlowFish::ResetChain()-Object not Initialized!",
                                }));
    debug.Clear();
    std::string key = PseudoRandomBytes(56, 4);
    method.Initialize(key.data(), 56, nullptr, 56, 8, ECB, ZEROES);
    method.Initialize(key.data(), 56, nullptr, 56, 8, CFB, BLANKS);
    EXPECT_EQ(method.GetOperationMode(), unsigned(CFB));
    auto fresh = MakeMethod(1, key, 8, CFB, BLANKS);
    std::string plain = PseudoRandomBytes(24, 5), a(24, '\0'), b(24, '\0');
    method.Encrypt(plain.data(), &a[0], 24);
    fresh->Encrypt(plain.data(), &b[0], 24);
    EXPECT_EQ(a, b);
    method.Encrypt(plain.data(), &a[0], 4);
    EXPECT_EQ(debug.Messages(),
              (std::vector<std::string>{"CZEP3DCryptBlowFish::Encrypt()-Illegal Block Size!"}));
}

}  // namespace
}  // namespace ZEP3DFileCrypt
