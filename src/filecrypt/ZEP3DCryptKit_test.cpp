// Tests of the crypt kit: the checks of Create, key preparation from TEXT and HEX key texts, and the
// deciphering of hexadecimal strings.
#include "filecrypt/ZEP3DCryptKit.h"

#include <gtest/gtest.h>

#include <cstring>

#include "KnownAnswers.h"
#include "TestUtil.h"
#include "filecrypt/ZEP3DCryptRijndael.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::Apply;
using zep::filecrypt::testing::FromHex;
using zep::filecrypt::testing::MakeMethod;
using zep::filecrypt::testing::PseudoRandomBytes;
using zep::filecrypt::testing::ToHex;

std::string Encipher(unsigned int method, const std::string& key, int blockSize, unsigned int mode,
                     const std::string& plain) {
    return Apply(*MakeMethod(method, key, blockSize, mode), true, plain);
}

struct Decrypted {
    bool ok;
    std::string plain;
    std::string echo;
};

Decrypted Decipher(CZEP3DCryptKit& kit, const std::string& hex) {
    std::vector<char> plain(hex.size() / 2 + 1, 'p');
    std::vector<char> echo(2 * (hex.size() / 2) + 1, 'e');
    bool ok = kit.DecryptionString(hex.c_str(), plain.data(), echo.data());
    return {ok, std::string(plain.data(), strnlen(plain.data(), plain.size())),
            std::string(echo.data(), strnlen(echo.data(), echo.size()))};
}

TEST(CryptKit, CreateChecksInOrderAndAFailedCheckKeepsTheKit) {
    zep::testing::DebugOutputCapture debug;
    CZEP3DCryptKit kit;
    char plainOut[8] = "plain", echoOut[8] = "echo";
    EXPECT_FALSE(kit.DecryptionString("00112233445566778899AABBCCDDEEFF", plainOut, echoOut));
    EXPECT_EQ(std::string(plainOut) + std::string(echoOut), "plainecho");
    EXPECT_TRUE(kit.Destroy());
    EXPECT_FALSE(kit.Create(2, 3, 3, 3, "k", TEXT, 1, 1));
    EXPECT_FALSE(kit.Create(1, 3, 3, 3, "k", TEXT, 1, 1));
    EXPECT_FALSE(kit.Create(1, 2, 3, 3, "k", TEXT, 1, 1));
    EXPECT_FALSE(kit.Create(1, 2, 2, 3, "k", TEXT, 1, 1));
    EXPECT_FALSE(kit.Create(1, BLOWFISH, 2, 2, "k", TEXT, 16, 8));
    EXPECT_FALSE(kit.Create(1, RIJNDAEL, 2, 2, "k", TEXT, 16, 8));
    EXPECT_FALSE(kit.Create(0, TEA, 0, 0, "k", TEXT, 16, 16));
    EXPECT_FALSE(kit.IsCreated());
    EXPECT_EQ(debug.Messages(), (std::vector<std::string>{
                                    "CZEP3DCryptKit::DecryptionString()-Object not created!",
                                    "CZEP3DCryptKit::Create()-Unknowable data type!",
                                    "CZEP3DCryptKit::Create()-Unknowable method!",
                                    "CZEP3DCryptKit::Create()-Unknowable operation mode!",
                                    "CZEP3DCryptKit::Create()-Unknowable padding mode!",
                                    "CZEP3DCryptKit::Create()-Unknowable Keylength!",
                                    "CZEP3DCryptKit::Create()-Unknowable BlockSize!",
                                    "CZEP3DCryptKit::Create()-Unknowable BlockSize!",
                                }));

    // A created kit keeps its working method through a refused Create, and takes a new one on a good one.
    std::string plain = "0123456789abcdef";
    ASSERT_TRUE(kit.Create(1, RIJNDAEL, ECB, ZEROES, "first key text!!", TEXT, 16, 16));
    ZEP3DICryptMethod* first = kit.GetMethod();
    std::string hex = ToHex(Encipher(0, "first key text!!", 16, ECB, plain));
    EXPECT_FALSE(kit.Create(0, TEA, ECB, ZEROES, "k", TEXT, 16, 16));
    EXPECT_EQ(kit.GetMethod(), first);
    EXPECT_EQ(Decipher(kit, hex).plain, plain);
    ASSERT_TRUE(kit.Create(0, TEA, CBC, ZEROES, "a TEA key 16 by.", TEXT, 16, 8));
    EXPECT_EQ(Decipher(kit, ToHex(Encipher(2, "a TEA key 16 by.", 8, CBC, plain))).plain, plain);
    EXPECT_TRUE(kit.Destroy());
    EXPECT_FALSE(kit.IsCreated());
    EXPECT_EQ(kit.GetMethod(), nullptr);
}

TEST(CryptKit, KeyTextsAreZeroExtendedOrCutNeverRepeatedAndHexStopsAtTheFirstBadPair) {
    const std::string key = PseudoRandomBytes(16, 3);
    std::string badPair = ToHex(key);
    badPair[9] = 'a';  // a lower-case digit stops decoding: the rest of the key is zero
    std::string longText(70, 'L');
    longText[10] = 'x';
    const struct {
        std::string text;
        unsigned int form, method, mode;
        int keyLength, blockSize;
        std::string formed;
        size_t plainLength;
    } rows[] = {
        {"PlumTreeGlade", TEXT, RIJNDAEL, ECB, 16, 16, std::string("PlumTreeGlade\0\0\0", 16), 32},
        // A text longer than the key buffer is cut at the buffer (Blowfish: 56 bytes).
        {longText, TEXT, BLOWFISH, CFB, 56, 8, longText.substr(0, 56), 32},
        {ToHex(key), HEX, RIJNDAEL, ECB, 16, 16, key, 16},
        {badPair, HEX, RIJNDAEL, ECB, 16, 16, key.substr(0, 4) + std::string(12, '\0'), 16},
        // A short text (and an odd last digit) gives only the whole pairs; TEA takes 16 bytes.
        {"0102030", HEX, TEA, ECB, 16, 8, std::string("\x01\x02\x03", 3) + std::string(13, '\0'), 16},
        // Long ciphertexts use heap scratch and are deciphered whole.
        {"a Blowfish key", TEXT, BLOWFISH, CBC, 56, 8, "a Blowfish key" + std::string(42, '\0'), 4000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        std::string plain = PseudoRandomBytes(row.plainLength, 1);
        for (char& c : plain) c = static_cast<char>('!' + static_cast<unsigned char>(c) % 90);
        CZEP3DCryptKit kit;
        ASSERT_TRUE(kit.Create(0, row.method, row.mode, BLANKS, row.text.c_str(), row.form, row.keyLength,
                               row.blockSize));
        const std::string hex = ToHex(Encipher(row.method, row.formed, row.blockSize, row.mode, plain));
        const Decrypted d = Decipher(kit, hex);
        EXPECT_EQ(d.plain, plain);
        EXPECT_EQ(d.echo, ToHex(plain));
    }
}

TEST(CryptKit, DecryptionStringKeepsPaddingIgnoresAnOddDigitAndGivesEmptyOutputsForBadLengths) {
    zep::testing::DebugOutputCapture debug;
    CZEP3DCryptKit kit;
    ASSERT_TRUE(kit.Create(1, RIJNDAEL, ECB, ZEROES, "PlumTreeGlade", TEXT, 16, 16));
    const std::string key("PlumTreeGlade\0\0\0", 16);
    const std::string plain = std::string("secret") + std::string(26, '\0');
    const std::string hex = ToHex(Encipher(0, key, 16, ECB, plain));
    for (const std::string& text : {hex, hex + "7"}) {
        const Decrypted d = Decipher(kit, text);
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.plain, "secret");
        EXPECT_EQ(d.echo, ToHex(plain));
    }
    // Lengths the method refuses: empty outputs, and still success.
    for (const std::string& text : {std::string(30, 'A'), std::string()}) {
        const Decrypted d = Decipher(kit, text);
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.plain + d.echo, "");
    }
    char plainOut[4] = "xyz", echoOut[4] = "uvw";
    EXPECT_TRUE(kit.DecryptionString(nullptr, plainOut, echoOut));
    EXPECT_EQ(std::string(plainOut), "");
    EXPECT_EQ(debug.Messages(),
              std::vector<std::string>(3, "CZEP3DCryptRijndael::Decrypt()-Illegal Block Size!"));

    // BLANKS padding stays at the end of the text; every call starts from a fresh chain.
    ASSERT_TRUE(kit.Create(1, RIJNDAEL, CBC, BLANKS, "PlumTreeGlade", TEXT, 16, 16));
    const std::string blanks = "pass" + std::string(12, ' ');
    EXPECT_EQ(Decipher(kit, ToHex(Encipher(0, key, 16, CBC, blanks))).plain, blanks);
    EXPECT_EQ(Decipher(kit, ToHex(Encipher(0, key, 16, CBC, blanks))).plain, blanks);

    // A bad hexadecimal digit leaves the rest of the ciphertext zero.
    ASSERT_TRUE(kit.Create(0, TEA, ECB, ZEROES, "0123456789ABCDEF", TEXT, 16, 8));
    const std::string cipher = FromHex("A1B2C3") + std::string(5, '\0');
    const std::string expected = ToHex(Apply(*MakeMethod(2, "0123456789ABCDEF", 8, ECB), false, cipher));
    EXPECT_EQ(Decipher(kit, "A1B2C3zz00112233").echo, expected);
    EXPECT_EQ(Decipher(kit, "A1B2C3ff00112233").echo, expected);
}

}  // namespace
}  // namespace ZEP3DFileCrypt
