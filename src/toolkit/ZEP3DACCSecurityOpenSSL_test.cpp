// The account reader against an outside yardstick: a password enciphered by OpenSSL's AES-128 in ECB
// without padding (the zero padding added by hand) reads back, and the library enciphers it alike.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <filesystem>
#include <memory>
#include <string>

#include "AccountFile.h"
#include "TestUtil.h"
#include "filecrypt/ZEP3DCryptRijndael.h"
#include "toolkit/ZEP3DACCSecurity.h"

namespace {

const unsigned char kKey[16] = {'P', 'l', 'u', 'm', 'T', 'r', 'e', 'e', 'G', 'l', 'a', 'd', 'e', 0, 0, 0};

std::string OpenSSLEncipher(const std::string& padded) {
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    std::string out(padded.size() + 16, '\0');
    int length = 0;
    int last = 0;
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr, kKey, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1 ||
        EVP_EncryptUpdate(ctx.get(), reinterpret_cast<unsigned char*>(&out[0]), &length,
                          reinterpret_cast<const unsigned char*>(padded.data()),
                          static_cast<int>(padded.size())) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), reinterpret_cast<unsigned char*>(&out[0]) + length, &last) != 1) {
        return "";
    }
    out.resize(static_cast<size_t>(length + last));
    return out;
}

TEST(AccountOpenSSL, PasswordEncipheredByOpenSSLReadsBackAndMatchesTheLibrarysCipher) {
    const std::string password = "Tarvik-cluster#2024 with blanks";  // two blocks, zero padded
    std::string padded = password;
    padded.resize(32, '\0');
    const std::string cipher = OpenSSLEncipher(padded);
    ASSERT_EQ(cipher.size(), 32u);

    ZEP3DFileCrypt::CZEP3DCryptRijndael method;
    const char chain[32] = {0};
    method.Initialize(reinterpret_cast<const char*>(kKey), 16, chain, 16, 16, ZEP3DFileCrypt::ECB,
                      ZEP3DFileCrypt::ZEROES);
    std::string own(32, '\0');
    method.Encrypt(padded.data(), &own[0], 32);
    EXPECT_EQ(zep::toolkit::testing::Hex(own), zep::toolkit::testing::Hex(cipher));

    zep::testing::ScopedTempDir dir;
    std::filesystem::create_directories(dir.File("Bin"));
    zep::testing::WriteFile(dir.File("Bin/acc.ini"),
                            zep::toolkit::testing::AccountFile("runner", zep::toolkit::testing::Hex(cipher)));
    CZEP3DACCSecurity reader;
    char user[1024];
    char plain[1024];
    ASSERT_TRUE(reader.ReadAccount((dir.path() + "\\Bin\\acc.ini").c_str(), user, plain));
    EXPECT_STREQ(user, "runner");
    EXPECT_EQ(plain, password);
    EXPECT_EQ(reader.GetStatus(), 1000);
}

}  // namespace
