// Tests of the crypt kit: the block-cipher methods (most tests over every method) and the digest against
// the published answers, the refusals, re-initialisation, key forming and fingerprints, padding, Xor and
// the chaining modes; the kit's Create, key texts and hexadecimal strings; and the switch between the
// processor's instructions and the portable code (every crypt test runs on both paths through the test
// registration).
#include "filecrypt/ZEP3DCryptKit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "KnownAnswers.h"
#include "TestUtil.h"
#include "filecrypt/CryptInstructions.h"
#include "filecrypt/ZEP3DCryptBlowFish.h"
#include "filecrypt/ZEP3DCryptRijndael.h"
#include "filecrypt/ZEP3DCryptTEA.h"
#include "filecrypt/ZEP3DMessageDigestSHA.h"
#include "platform/CpuFeatures.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::Apply;
using zep::filecrypt::testing::Digest;
using zep::filecrypt::testing::Fingerprint;
using zep::filecrypt::testing::FromHex;
using zep::filecrypt::testing::kClassNames;
using zep::filecrypt::testing::Kind;
using zep::filecrypt::testing::kKinds;
using zep::filecrypt::testing::KnownAnswer;
using zep::filecrypt::testing::MakeMethod;
using zep::filecrypt::testing::NewMethod;
using zep::filecrypt::testing::PseudoRandomBytes;
using zep::filecrypt::testing::ReadKnownAnswers;
using zep::filecrypt::testing::ToHex;
using Strings = std::vector<std::string>;

// Key is the key data (and key length), In one block and Out its encipherment: checks the block
// encipher (ECB), the decipher and Rijndael's single-block entry points (the chaining modes are checked
// against their definitions over the block encipher).
void CheckCipherAnswer(const KnownAnswer& answer, unsigned int method) {
    const int blockSize = static_cast<int>(answer.in.size());
    auto ecb = MakeMethod(method, answer.key, blockSize, ECB);
    ASSERT_EQ(ecb->IsInitialized(), 1);
    EXPECT_EQ(ToHex(Apply(*ecb, true, answer.in)), ToHex(answer.out)) << "encipher";
    EXPECT_EQ(ToHex(Apply(*ecb, false, answer.out)), ToHex(answer.in)) << "decipher";
    if (auto* rijndael = dynamic_cast<CZEP3DCryptRijndael*>(ecb.get())) {
        std::string blocks(4 * answer.in.size(), '\0');
        const size_t bs = answer.in.size();
        rijndael->EncryptBlock(answer.in.data(), &blocks[0]);
        rijndael->DecryptBlock(answer.out.data(), &blocks[bs]);
        if (blockSize == 16) {
            rijndael->DefEncryptBlock(answer.in.data(), &blocks[2 * bs]);
            rijndael->DefDecryptBlock(answer.out.data(), &blocks[3 * bs]);
        } else {
            blocks.resize(2 * bs);
        }
        const std::string pair = answer.out + answer.in;
        EXPECT_EQ(ToHex(blocks), ToHex(blockSize == 16 ? pair + pair : pair)) << "single-block entry points";
    }
}

// The digest of In repeated Repeat times, in one piece and in pieces across the 64-byte blocks.
void CheckDigestAnswer(const KnownAnswer& answer) {
    std::string message;
    for (size_t i = 0; i < answer.repeat; ++i) message += answer.in;
    for (size_t piece : {size_t(0), size_t(1), size_t(63), size_t(64)}) {
        if (piece == 1 && message.size() > 100000) continue;  // a million calls add nothing new
        EXPECT_EQ(ToHex(Digest(message, piece)), ToHex(answer.out)) << "piece " << piece;
    }
}

TEST(CryptKnownAnswers, EveryMethodAndTheDigestGiveThePublishedAnswers) {
    const struct {
        const char* file;
        int method;  // -1: the digest
    } files[] = {{"aes.vec", RIJNDAEL},
                 {"rijndael.vec", RIJNDAEL},
                 {"blowfish.vec", BLOWFISH},
                 {"xtea.vec", TEA},
                 {"sha256.vec", -1}};
    for (const auto& file : files) {
        for (const KnownAnswer& answer : ReadKnownAnswers(file.file)) {
            SCOPED_TRACE(std::string(file.file) + ":" + std::to_string(answer.line) + " [" + answer.section +
                         "]");
            if (file.method < 0) {
                CheckDigestAnswer(answer);
            } else {
                CheckCipherAnswer(answer, static_cast<unsigned int>(file.method));
            }
        }
    }
}

TEST(CryptMethod, InitializeChecksItsSettingsInOrderAndRefusesWithItsOwnMessage) {
    // Each row is wrong in the named setting and in every later one.
    const struct {
        unsigned int method;
        const char* keyData;
        int keyDataLength, keyLength, blockSize;
        unsigned int mode, padding;
        const char* message;
    } rows[] = {
        {RIJNDAEL, nullptr, -1, 20, 8, 3, 3, "No Key DataSpecified!"},
        {RIJNDAEL, "key", 0, 20, 8, 3, 3, "Key Data Length should be > 0!"},
        {RIJNDAEL, "key", 3, 20, 8, 3, 3, "Illegal Key Length!"},
        {RIJNDAEL, "key", 3, 16, 8, 3, 3, "Illegal Block Size!"},
        {RIJNDAEL, "key", 3, 16, 16, 3, 3, "Illegal Operation Mode!"},
        {RIJNDAEL, "key", 3, 16, 16, 2, 3, "Illegal Padding Mode!"},
        {BLOWFISH, nullptr, 0, 0, 0, 3, 3, "No Key DataSpecified!"},
        {BLOWFISH, "k", -1, 0, 0, 3, 3, "Key Data Length should be > 0!"},
        {BLOWFISH, "k", 1, 0, 0, 3, 3, "Illegal Operation Mode!"},
        {BLOWFISH, "k", 1, 0, 0, 0, 3, "Illegal Padding Mode!"},
        {TEA, nullptr, 0, 7, 7, 3, 3, "No Key DataSpecified!"},
        {TEA, "k", 0, 7, 7, 3, 3, "Key Data Length should be > 0!"},
        {TEA, "k", 1, 7, 7, 3, 3, "Illegal Operation Mode!"},
        {TEA, "k", 1, 7, 7, 2, 3, "Illegal Padding Mode!"},
    };
    const char chain[32] = {0};
    for (const auto& row : rows) {
        const std::string expected = std::string(kClassNames[row.method]) + "::Initialize()-" + row.message;
        SCOPED_TRACE(expected);
        zep::testing::DebugOutputCapture debug;
        auto method = NewMethod(row.method);
        method->Initialize(row.keyData, row.keyDataLength, chain, row.keyLength, row.blockSize, row.mode,
                           row.padding);
        EXPECT_EQ(method->IsInitialized(), 0);
        EXPECT_EQ(debug.Messages(), Strings{expected});
    }
}

TEST(CryptMethod, AnUninitialisedMethodRefusesEveryOperationWithItsOwnMessage) {
    zep::testing::ScopedTempDir dir;
    zep::testing::WriteFile(dir.File("plain"), "some text");
    for (unsigned int kind : {RIJNDAEL, BLOWFISH, TEA}) {
        const std::string name = kClassNames[kind];
        SCOPED_TRACE(name);
        auto method = NewMethod(kind);
        zep::testing::DebugOutputCapture debug;
        char in[32] = {1}, out[32] = {0};
        Strings expected;
        if (auto* rijndael = dynamic_cast<CZEP3DCryptRijndael*>(method.get())) {
            rijndael->DefEncryptBlock(in, out);
            rijndael->DefDecryptBlock(in, out);
            rijndael->EncryptBlock(in, out);
            rijndael->DecryptBlock(in, out);
            for (const char* op : {"DefEncryptBlock", "DefDecryptBlock", "EncryptBlock", "DecryptBlock"})
                expected.push_back(name + "::" + op + "()-Object not Initialized!");
        }
        method->Encrypt(in, out, 16);
        method->Decrypt(in, out, 16);
        method->ResetChain();
        method->EncryptFile(dir.File("plain"), dir.File("cipher"));
        method->DecryptFile(dir.File("plain"), dir.File("cipher"));
        for (const char* op : {"Encrypt", "Decrypt", "ResetChain", "EncryptFile", "DecryptFile"})
            expected.push_back(name + "::" + op + "()-Object not Initialized!");
        method->Xor(in, out);
        EXPECT_EQ(method->Padding(in, 5), -1);
        expected.push_back("ZEP3DICryptMethod::Xor()-Object not Initialized");
        expected.push_back("ZEP3DICryptMethod::Padding()-Object not Initialized");
        EXPECT_EQ(debug.Messages(), expected);
        EXPECT_EQ(std::string(out, 32), std::string(32, '\0'));
        EXPECT_EQ(std::string(in, 6), std::string("\x01\0\0\0\0\0", 6));
        EXPECT_FALSE(zep::testing::FileExists(dir.File("cipher")));
    }
}

TEST(CryptMethod, AReinitialisationTakesChainModesAndKeyAndARefusedOneChangesNothing) {
    for (const Kind& kind : kKinds) {
        SCOPED_TRACE(kind.name);
        const size_t bs = static_cast<size_t>(kind.blockSize);
        const std::string key = PseudoRandomBytes(kind.keyBytes, 3),
                          other = PseudoRandomBytes(kind.keyBytes, 7);
        const std::string chainA = PseudoRandomBytes(32, 5), chainB = PseudoRandomBytes(32, 6);
        const std::string plain = PseudoRandomBytes(2 * bs, 4);
        auto init = [&kind](ZEP3DICryptMethod& method, const std::string& k, const std::string& chain,
                            unsigned int mode, unsigned int padding) {
            method.Initialize(k.data(), static_cast<int>(k.size()), chain.data(), static_cast<int>(k.size()),
                              kind.blockSize, mode, padding);
        };
        auto fresh = [&](const std::string& k) {
            auto method = NewMethod(kind.method);
            init(*method, k, chainB, CFB, PADCOUNT);
            return method;
        };
        // One block of a longer chain block is taken (Blowfish always starts from zeros).
        auto reused = NewMethod(kind.method);
        init(*reused, key, chainA, CBC, ZEROES);
        std::string mixed = plain.substr(0, bs);
        for (size_t i = 0; i < bs && kind.method != BLOWFISH; ++i)
            mixed[i] = static_cast<char>(mixed[i] ^ chainA[i]);
        EXPECT_EQ(Apply(*reused, true, plain.substr(0, bs)),
                  Apply(*MakeMethod(kind.method, key, kind.blockSize, ECB), true, mixed));

        init(*reused, key, chainB, CFB, PADCOUNT);  // the same key: the new chain and modes
        EXPECT_EQ(reused->GetOperationMode(), unsigned(CFB));
        EXPECT_EQ(reused->GetPaddingMode(), unsigned(PADCOUNT));
        EXPECT_EQ(Apply(*reused, true, plain), Apply(*fresh(key), true, plain));
        init(*reused, other, chainB, CFB, PADCOUNT);  // a new key, taken in full
        auto twin = fresh(other);
        EXPECT_EQ(Apply(*reused, true, plain.substr(0, bs)), Apply(*twin, true, plain.substr(0, bs)));
        zep::testing::DebugOutputCapture debug;
        init(*reused, key, chainA, 3, ZEROES);
        EXPECT_EQ(debug.Messages().size(), 1u);
        EXPECT_EQ(reused->GetOperationMode(), unsigned(CFB));
        EXPECT_EQ(Apply(*reused, true, plain.substr(bs)), Apply(*twin, true, plain.substr(bs)));
    }
    // TEA's key length and block size are fixed, whatever is given.
    CZEP3DCryptTEA tea;
    tea.Initialize("k", 1, nullptr, 7, 99, CBC, BLANKS);
    EXPECT_EQ(tea.IsInitialized(), 1);
    EXPECT_EQ(tea.GetBlockSize(), 8);
    EXPECT_EQ(tea.GetKeyLength(), 16);
}

// Short key data is repeated to the key length; the fingerprint digests the name, the key and the
// settings up to the first zero byte.
TEST(CryptMethod, KeyDataFormsTheKeyAndTheFingerprint) {
    const std::string plain = PseudoRandomBytes(64, 11), zeroKey("PlumTreeGlade\0\0\0", 16);
    const std::string eight = "8bytekey8bytekey8bytekey8bytekey8bytekey8bytekey8bytekey";
    const struct {
        unsigned int method;
        std::string keyData;
        int keyLength, blockSize;
        unsigned int mode, padding;
        std::string formed, text;
    } rows[] = {
        {RIJNDAEL, "0123456789ABCDEF", 16, 16, ECB, ZEROES, "0123456789ABCDEF",
         "RIJNDAEL0123456789ABCDEF161600"},
        {RIJNDAEL, "0123456789ABCDEF0123456789ABCDEF", 32, 24, CFB, PADCOUNT,
         "0123456789ABCDEF0123456789ABCDEF", "RIJNDAEL0123456789ABCDEF0123456789ABCDEF243222"},
        {RIJNDAEL, "ABCDE", 16, 16, ECB, ZEROES, "ABCDEABCDEABCDEA", "RIJNDAELABCDEABCDEABCDEA161600"},
        // A zero key byte ends the digested text: the settings no longer count.
        {RIJNDAEL, zeroKey, 16, 16, ECB, ZEROES, zeroKey, "RIJNDAELPlumTreeGlade"},
        {RIJNDAEL, zeroKey, 16, 32, CBC, BLANKS, zeroKey, "RIJNDAELPlumTreeGlade"},
        {BLOWFISH, "8bytekey", 56, 8, CFB, BLANKS, eight, "BLOWFISH" + eight + "21"},
        {BLOWFISH, "tenbytekey", 0, 8, ECB, ZEROES,
         "tenbytekeytenbytekeytenbytekeytenbytekeytenbytekeytenbyt",
         "BLOWFISHtenbytekeytenbytekeytenbytekeytenbytekeytenbytekeytenbyt00"},
        {TEA, "0123456789abcdef", 16, 8, CFB, BLANKS, "0123456789abcdef", "TEA0123456789abcdef21"},
        {TEA, "abc", 0, 8, ECB, ZEROES, "abcabcabcabcabca", "TEAabcabcabcabcabca00"},
    };
    const char zero[32] = {0};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        auto method = NewMethod(row.method);
        method->Initialize(row.keyData.data(), static_cast<int>(row.keyData.size()), zero, row.keyLength,
                           row.blockSize, row.mode, row.padding);
        ASSERT_EQ(method->IsInitialized(), 1);
        EXPECT_EQ(ToHex(Fingerprint(*method)), ToHex(Digest(row.text, 0)));
        EXPECT_EQ(Apply(*method, true, plain),
                  Apply(*MakeMethod(row.method, row.formed, row.blockSize, row.mode), true, plain));
    }
    // Before Initialize the key is all zeros: only the name counts.
    CZEP3DCryptTEA fresh;
    EXPECT_EQ(ToHex(Fingerprint(fresh)), ToHex(Digest("TEA", 0)));
}

TEST(CryptMethod, PaddingFillsToWholeBlocksInEachModeAndXorTakesOneBlock) {
    const unsigned char fills[3] = {0x00, 0x20, 0x03};
    for (unsigned int padding = 0; padding < 3; ++padding) {
        auto method = MakeMethod(0, std::string(16, 'k'), 16, ECB, padding);
        std::string buffer(48, 'x');
        EXPECT_EQ(method->Padding(&buffer[0], 32), 32);
        EXPECT_EQ(method->Padding(&buffer[0], 0), 0);
        EXPECT_EQ(buffer, std::string(48, 'x'));
        EXPECT_EQ(method->Padding(&buffer[0], 13), 16);
        EXPECT_EQ(buffer, std::string(13, 'x') + std::string(3, static_cast<char>(fills[padding])) +
                              std::string(32, 'x'));
    }
    auto count = MakeMethod(2, std::string(16, 'k'), 8, ECB, PADCOUNT);
    char buffer[16];
    std::memset(buffer, 'x', sizeof(buffer));
    EXPECT_EQ(count->Padding(buffer, 1), 8);
    // A negative length would write in front of the buffer: refused.
    EXPECT_EQ(count->Padding(buffer + 8, -3), -1);
    EXPECT_EQ(std::string(buffer, 9), std::string("x\x07\x07\x07\x07\x07\x07\x07x"));

    char with[32];
    std::memset(with, 2, sizeof(with));
    std::memset(buffer, 1, sizeof(buffer));
    count->Xor(buffer, with);
    EXPECT_EQ(std::string(buffer, 16), std::string(8, '\x03') + std::string(8, '\x01'));
    EXPECT_EQ(ZEP3DICryptMethod::BytesToWord("\x12\x34\x56\x78"), 0x12345678u);
    char bytes[4];
    ZEP3DICryptMethod::WordToBytes(0xA1B2C3D4u, bytes);
    EXPECT_EQ(std::string(bytes, 4), "\xA1\xB2\xC3\xD4");
}

// Over every kind and mode: CBC and CFB as defined over the block encipher, round trips in one call, in
// two calls (Blowfish starts every call from the zero chain) and in place, and refused lengths that
// write nothing and leave the chain.
TEST(CryptMethod, ModesFollowTheirDefinitionsRoundTripAndRefuseBadLengths) {
    for (const Kind& kind : kKinds) {
        const size_t bs = static_cast<size_t>(kind.blockSize);
        const std::string name = kClassNames[kind.method];
        auto xorBlock = [bs](std::string a, const std::string& b) {
            for (size_t i = 0; i < bs; ++i) a[i] = static_cast<char>(a[i] ^ b[i]);
            return a;
        };
        for (unsigned int mode : {ECB, CBC, CFB}) {
            SCOPED_TRACE(std::string(kind.name) + " mode " + std::to_string(mode));
            const std::string key = PseudoRandomBytes(kind.keyBytes, mode + 1);
            // Past the eight blocks that the processor's AES instructions take at a time, in pieces that
            // end inside such a group.
            const std::string plain = PseudoRandomBytes(bs * 20, mode + 7);
            auto ecb = MakeMethod(kind.method, key, kind.blockSize, ECB);
            std::string chain(bs, '\0'), expected;
            for (size_t b = 0; b < 20; ++b) {
                const std::string p = plain.substr(b * bs, bs);
                chain = mode == ECB   ? Apply(*ecb, true, p)
                        : mode == CBC ? Apply(*ecb, true, xorBlock(chain, p))
                                      : xorBlock(Apply(*ecb, true, chain), p);
                expected += chain;
            }
            auto method = MakeMethod(kind.method, key, kind.blockSize, mode);
            const std::string whole = Apply(*method, true, plain);
            EXPECT_EQ(whole, expected);
            method->ResetChain();
            EXPECT_EQ(Apply(*method, false, whole), plain);

            method->ResetChain();
            const size_t cut = bs * 11;
            const std::string first = plain.substr(0, cut), rest = plain.substr(cut);
            std::string split = Apply(*method, true, first);
            split += Apply(*method, true, rest);
            EXPECT_EQ(split,
                      kind.method != BLOWFISH || mode == ECB
                          ? whole
                          : whole.substr(0, cut) +
                                Apply(*MakeMethod(kind.method, key, kind.blockSize, mode), true, rest));
            method->ResetChain();
            std::string back = Apply(*method, false, split.substr(0, cut));
            back += Apply(*method, false, split.substr(cut));
            EXPECT_EQ(back, plain);

            method->ResetChain();
            std::string buffer = plain;
            method->Encrypt(buffer.data(), &buffer[0], buffer.size());
            EXPECT_EQ(buffer, whole);
            method->ResetChain();
            method->Decrypt(buffer.data(), &buffer[0], buffer.size());
            EXPECT_EQ(buffer, plain);

            method->ResetChain();
            Apply(*method, true, first);
            zep::testing::DebugOutputCapture debug;
            std::string out(bs * 2, 'u');
            method->Encrypt(plain.data(), &out[0], 0);
            method->Encrypt(plain.data(), &out[0], bs + 1);
            method->Decrypt(plain.data(), &out[0], bs - 1);
            EXPECT_EQ(out, std::string(bs * 2, 'u'));
            EXPECT_EQ(debug.Messages(), (Strings{name + "::Encrypt()-Illegal Block Size!",
                                                 name + "::Encrypt()-Illegal Block Size!",
                                                 name + "::Decrypt()-Illegal Block Size!"}));
            EXPECT_EQ(Apply(*method, true, rest), split.substr(cut));
        }
    }
}

TEST(MessageDigestSHA, RefusesEmptyDataAndAFinalWithoutDataAndStartsAfreshAfterEachFinal) {
    zep::testing::DebugOutputCapture debug;
    CZEP3DMessageDigestSHA sha;
    std::string out(32, 'x');
    sha.FinalDigest(&out[0]);
    sha.AddData("abc", 0);
    sha.AddData("abc", -5);
    sha.FinalDigest(&out[0]);
    EXPECT_EQ(out, std::string(32, 'x'));
    const std::string noData = "CZEP3DMessageDigestSHA::FinalDigest()-No data Added before call!",
                      noLength = "CZEP3DMessageDigestSHA::AddData()-Data Length should be > 0!";
    EXPECT_EQ(debug.Messages(), (Strings{noData, noLength, noLength, noData}));
    // The refused calls left the object fresh, and so does each final digest.
    EXPECT_EQ(ToHex(Digest(std::string(100, 'q'), 7, &sha)), ToHex(Digest(std::string(100, 'q'), 0)));
    EXPECT_EQ(ToHex(Digest("abc", 1, &sha)),
              "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
    sha.FinalDigest(&out[0]);
    EXPECT_EQ(debug.Messages().size(), 5u);
}

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

TEST(CryptInstructions, TheSwitchForcesThePortableCodeAndGivesTheChoiceBackToTheProcessor) {
    using namespace zep::filecrypt;
    const zep::platform::CpuFeatures& cpu = zep::platform::GetCpuFeatures();
    // The environment as the test registration sets it: the portable code for the second run.
    const char* variable = std::getenv("ZEP3D_PORTABLE_CRYPT");
    const bool forced = variable != nullptr && std::string(variable) != "" && std::string(variable) != "0";
    EXPECT_EQ(UseAesInstructions(), cpu.aes && !forced);
    EXPECT_EQ(UseShaInstructions(), cpu.sha && !forced);
    const bool before = ForcePortableCrypt(true);
    EXPECT_FALSE(UseAesInstructions() || UseShaInstructions());
    EXPECT_TRUE(ForcePortableCrypt(false));
    EXPECT_EQ(UseAesInstructions(), cpu.aes);
    EXPECT_EQ(UseShaInstructions(), cpu.sha);
    EXPECT_FALSE(ForcePortableCrypt(before));
}

}  // namespace
}  // namespace ZEP3DFileCrypt
