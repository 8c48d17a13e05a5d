// Tests of the Rijndael method beyond the published answers: a refused re-initialisation, and the
// initial chain block cut to the block size.
#include "filecrypt/ZEP3DCryptRijndael.h"

#include <gtest/gtest.h>

#include "KnownAnswers.h"
#include "TestUtil.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::PseudoRandomBytes;

std::unique_ptr<CZEP3DCryptRijndael> Make(const std::string& key, int blockSize, unsigned int mode,
                                          const std::string& chain = std::string(32, '\0')) {
    std::unique_ptr<CZEP3DCryptRijndael> method(new CZEP3DCryptRijndael());
    method->Initialize(key.data(), static_cast<int>(key.size()), chain.data(), static_cast<int>(key.size()),
                       blockSize, mode, ZEROES);
    return method;
}

TEST(CryptRijndael, ARefusedReinitialisationKeepsKeyChainAndSettings) {
    std::string key = PseudoRandomBytes(16, 5);
    auto method = Make(key, 16, CBC);
    std::string plain = PseudoRandomBytes(32, 6);
    std::string first(16, '\0');
    method->Encrypt(plain.data(), &first[0], 16);
    zep::testing::DebugOutputCapture debug;
    const char chain[32] = {0};
    method->Initialize("other", 5, chain, 20, 16, CFB, ZEROES);
    EXPECT_EQ(debug.Messages(),
              std::vector<std::string>{"CZEP3DCryptRijndael::Initialize()-Illegal Key Length!"});
    EXPECT_EQ(method->GetOperationMode(), unsigned(CBC));
    std::string second(16, '\0');
    method->Encrypt(plain.data() + 16, &second[0], 16);
    auto whole = Make(key, 16, CBC);
    std::string both(32, '\0');
    whole->Encrypt(plain.data(), &both[0], 32);
    EXPECT_EQ(first + second, both);
}

TEST(CryptRijndael, TakesOneBlockOfTheInitialChain) {
    // A 32-byte chain block with a 16-byte block size: only the first 16 bytes chain.
    std::string chain = PseudoRandomBytes(16, 8) + PseudoRandomBytes(16, 9);
    std::string key = PseudoRandomBytes(16, 10);
    auto cbc = Make(key, 16, CBC, chain);
    auto ecb = Make(key, 16, ECB);
    std::string plain = PseudoRandomBytes(32, 11);
    std::string mixed = plain.substr(0, 16);
    for (int i = 0; i < 16; ++i) mixed[i] = static_cast<char>(mixed[i] ^ chain[i]);
    std::string viaCbc(32, '\0'), viaEcb(16, '\0');
    cbc->Encrypt(plain.data(), &viaCbc[0], 32);
    ecb->Encrypt(mixed.data(), &viaEcb[0], 16);
    EXPECT_EQ(viaCbc.substr(0, 16), viaEcb);
    // The chain block comes back after ResetChain.
    cbc->ResetChain();
    std::string again(16, '\0');
    cbc->Encrypt(plain.data(), &again[0], 16);
    EXPECT_EQ(again, viaEcb);
}

}  // namespace
}  // namespace ZEP3DFileCrypt
