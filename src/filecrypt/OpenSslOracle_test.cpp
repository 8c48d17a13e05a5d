// The ciphers and the digest against OpenSSL on random keys, chain blocks and messages (test builds on
// the host only; OpenSSL is never part of the library).
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <random>

#include "KnownAnswers.h"
#include "filecrypt/ZEP3DCryptBlowFish.h"
#include "filecrypt/ZEP3DCryptRijndael.h"
#include "filecrypt/ZEP3DMessageDigestSHA.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::PseudoRandomBytes;
using zep::filecrypt::testing::ToHex;

// OpenSSL's answer for one whole message, without padding; key length set explicitly.
std::string OpenSsl(const EVP_CIPHER* cipher, const std::string& key, const std::string& iv,
                    const std::string& in, bool encrypt) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    std::string out(in.size() + 64, '\0');
    int length = 0, tail = 0;
    bool ok = EVP_CipherInit_ex(ctx, cipher, nullptr, nullptr, nullptr, encrypt ? 1 : 0) == 1 &&
              EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size())) == 1 &&
              EVP_CipherInit_ex(ctx, nullptr, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                                iv.empty() ? nullptr : reinterpret_cast<const unsigned char*>(iv.data()),
                                encrypt ? 1 : 0) == 1 &&
              EVP_CIPHER_CTX_set_padding(ctx, 0) == 1 &&
              EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char*>(&out[0]), &length,
                               reinterpret_cast<const unsigned char*>(in.data()),
                               static_cast<int>(in.size())) == 1 &&
              EVP_CipherFinal_ex(ctx, reinterpret_cast<unsigned char*>(&out[0]) + length, &tail) == 1;
    EVP_CIPHER_CTX_free(ctx);
    EXPECT_TRUE(ok) << "OpenSSL refused the cipher";
    out.resize(static_cast<size_t>(length + tail));
    return out;
}

std::string Ours(ZEP3DICryptMethod& method, const std::string& in, bool encrypt) {
    std::string out(in.size(), '\0');
    method.ResetChain();
    if (encrypt) {
        method.Encrypt(in.data(), &out[0], in.size());
    } else {
        method.Decrypt(in.data(), &out[0], in.size());
    }
    return out;
}

TEST(OpenSslOracle, AesAgreesInEcbCbcAndFullBlockCfb) {
    struct Case {
        int keyBytes;
        const EVP_CIPHER* ecb;
        const EVP_CIPHER* cbc;
        const EVP_CIPHER* cfb;
    };
    const Case cases[] = {
        {16, EVP_aes_128_ecb(), EVP_aes_128_cbc(), EVP_aes_128_cfb128()},
        {24, EVP_aes_192_ecb(), EVP_aes_192_cbc(), EVP_aes_192_cfb128()},
        {32, EVP_aes_256_ecb(), EVP_aes_256_cbc(), EVP_aes_256_cfb128()},
    };
    std::mt19937 lengths(2024);
    unsigned int seed = 100;
    for (const Case& c : cases) {
        for (unsigned int mode : {ECB, CBC, CFB}) {
            const EVP_CIPHER* evp = mode == ECB ? c.ecb : mode == CBC ? c.cbc : c.cfb;
            for (int trial = 0; trial < 40; ++trial) {
                SCOPED_TRACE("key " + std::to_string(c.keyBytes) + " mode " + std::to_string(mode) +
                             " trial " + std::to_string(trial));
                std::string key = PseudoRandomBytes(static_cast<size_t>(c.keyBytes), ++seed);
                std::string iv = PseudoRandomBytes(16, ++seed);
                std::string plain = PseudoRandomBytes(16 * (1 + lengths() % 64), ++seed);
                CZEP3DCryptRijndael method;
                method.Initialize(key.data(), c.keyBytes, iv.data(), c.keyBytes, 16, mode, ZEROES);
                std::string cipher = Ours(method, plain, true);
                ASSERT_EQ(ToHex(cipher), ToHex(OpenSsl(evp, key, mode == ECB ? "" : iv, plain, true)));
                ASSERT_EQ(ToHex(Ours(method, cipher, false)), ToHex(plain));
            }
        }
    }
}

TEST(OpenSslOracle, BlowfishAgreesInEcbAndCbcOnEightByteKeys) {
    // Providers loaded here are unloaded again, so the leak check sees nothing left.
    struct Providers {
        OSSL_PROVIDER* legacy = OSSL_PROVIDER_load(nullptr, "legacy");
        OSSL_PROVIDER* standard = OSSL_PROVIDER_load(nullptr, "default");
        ~Providers() {
            if (legacy != nullptr) OSSL_PROVIDER_unload(legacy);
            if (standard != nullptr) OSSL_PROVIDER_unload(standard);
        }
    } providers;
    ASSERT_NE(providers.legacy, nullptr) << "OpenSSL's legacy provider is needed";
    ASSERT_NE(providers.standard, nullptr);
    EVP_CIPHER* ecb = EVP_CIPHER_fetch(nullptr, "BF-ECB", nullptr);
    EVP_CIPHER* cbc = EVP_CIPHER_fetch(nullptr, "BF-CBC", nullptr);
    ASSERT_NE(ecb, nullptr);
    ASSERT_NE(cbc, nullptr);
    std::mt19937 lengths(7);
    unsigned int seed = 500;
    for (unsigned int mode : {ECB, CBC}) {
        for (int trial = 0; trial < 60; ++trial) {
            SCOPED_TRACE("mode " + std::to_string(mode) + " trial " + std::to_string(trial));
            std::string key = PseudoRandomBytes(8, ++seed);
            std::string plain = PseudoRandomBytes(8 * (1 + lengths() % 128), ++seed);
            CZEP3DCryptBlowFish method;
            method.Initialize(key.data(), 8, nullptr, 56, 8, mode, ZEROES);
            std::string cipher = Ours(method, plain, true);
            ASSERT_EQ(ToHex(cipher), ToHex(OpenSsl(mode == ECB ? ecb : cbc, key,
                                                   mode == ECB ? "" : std::string(8, '\0'), plain, true)));
            ASSERT_EQ(ToHex(Ours(method, cipher, false)), ToHex(plain));
        }
    }
    EVP_CIPHER_free(ecb);
    EVP_CIPHER_free(cbc);
}

TEST(OpenSslOracle, Sha256AgreesOnRandomMessagesAndPieces) {
    std::mt19937 lengths(99);
    for (int trial = 0; trial < 200; ++trial) {
        size_t length = 1 + lengths() % 2000;
        std::string message = PseudoRandomBytes(length, static_cast<unsigned int>(trial));
        unsigned char expected[32];
        unsigned int size = 0;
        ASSERT_EQ(EVP_Digest(message.data(), message.size(), expected, &size, EVP_sha256(), nullptr), 1);
        CZEP3DMessageDigestSHA sha;
        size_t piece = 1 + lengths() % 150;
        for (size_t pos = 0; pos < length; pos += piece) {
            sha.AddData(message.data() + pos, static_cast<int>(std::min(piece, length - pos)));
        }
        std::string ours(32, '\0');
        sha.FinalDigest(&ours[0]);
        ASSERT_EQ(ToHex(ours), ToHex(std::string(reinterpret_cast<char*>(expected), 32)))
            << "length " << length;
    }
}

}  // namespace
}  // namespace ZEP3DFileCrypt
