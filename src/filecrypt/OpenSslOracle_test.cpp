// The ciphers and the digest against OpenSSL on random keys, chain blocks and messages (test builds on
// the host only; OpenSSL is never part of the library).
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <memory>
#include <random>

#include "KnownAnswers.h"
#include "filecrypt/ZEP3DCryptKit.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::Apply;
using zep::filecrypt::testing::Digest;
using zep::filecrypt::testing::NewMethod;
using zep::filecrypt::testing::PseudoRandomBytes;
using zep::filecrypt::testing::ToHex;

// OpenSSL's encipherment of one whole message, without padding; key length set explicitly.
std::string OpenSsl(const EVP_CIPHER* cipher, const std::string& key, const std::string& iv,
                    const std::string& in) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    std::string out(in.size() + 64, '\0');
    int length = 0, tail = 0;
    bool ok =
        EVP_CipherInit_ex(ctx, cipher, nullptr, nullptr, nullptr, 1) == 1 &&
        EVP_CIPHER_CTX_set_key_length(ctx, static_cast<int>(key.size())) == 1 &&
        EVP_CipherInit_ex(ctx, nullptr, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                          iv.empty() ? nullptr : reinterpret_cast<const unsigned char*>(iv.data()), 1) == 1 &&
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

TEST(OpenSslOracle, AesAndBlowfishAgreeInEveryModeAndSha256OnRandomMessagesAndPieces) {
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
    // Blowfish on eight-byte keys, and always from the zero chain; CFB only as full-block feedback.
    const struct {
        const char* name;
        unsigned int method, mode;
        size_t keyBytes, blockSize;
    } cases[] = {{"AES-128-ECB", RIJNDAEL, ECB, 16, 16}, {"AES-128-CBC", RIJNDAEL, CBC, 16, 16},
                 {"AES-128-CFB", RIJNDAEL, CFB, 16, 16}, {"AES-192-ECB", RIJNDAEL, ECB, 24, 16},
                 {"AES-192-CBC", RIJNDAEL, CBC, 24, 16}, {"AES-192-CFB", RIJNDAEL, CFB, 24, 16},
                 {"AES-256-ECB", RIJNDAEL, ECB, 32, 16}, {"AES-256-CBC", RIJNDAEL, CBC, 32, 16},
                 {"AES-256-CFB", RIJNDAEL, CFB, 32, 16}, {"BF-ECB", BLOWFISH, ECB, 8, 8},
                 {"BF-CBC", BLOWFISH, CBC, 8, 8}};
    std::mt19937 lengths(2024);
    unsigned int seed = 100;
    for (const auto& c : cases) {
        std::unique_ptr<EVP_CIPHER, void (*)(EVP_CIPHER*)> evp(EVP_CIPHER_fetch(nullptr, c.name, nullptr),
                                                               EVP_CIPHER_free);
        ASSERT_NE(evp, nullptr) << c.name;
        for (int trial = 0; trial < 40; ++trial) {
            SCOPED_TRACE(std::string(c.name) + " trial " + std::to_string(trial));
            const std::string key = PseudoRandomBytes(c.keyBytes, ++seed);
            const std::string iv =
                c.method == BLOWFISH ? std::string(8, '\0') : PseudoRandomBytes(16, ++seed);
            const std::string plain = PseudoRandomBytes(c.blockSize * (1 + lengths() % 100), ++seed);
            auto method = NewMethod(c.method);
            method->Initialize(key.data(), static_cast<int>(c.keyBytes), iv.data(),
                               c.method == RIJNDAEL ? static_cast<int>(c.keyBytes) : 56,
                               static_cast<int>(c.blockSize), c.mode, ZEROES);
            const std::string cipher = Apply(*method, true, plain);
            method->ResetChain();
            const std::string back = Apply(*method, false, cipher);
            ASSERT_EQ(ToHex(cipher), ToHex(OpenSsl(evp.get(), key, c.mode == ECB ? "" : iv, plain)));
            ASSERT_EQ(ToHex(back), ToHex(plain));
        }
    }
    // The digest in the same test: once the default provider has been unloaded, OpenSSL loads it no more.
    lengths.seed(99);
    for (int trial = 0; trial < 200; ++trial) {
        size_t length = 1 + lengths() % 2000;
        std::string message = PseudoRandomBytes(length, static_cast<unsigned int>(trial));
        unsigned char expected[32];
        unsigned int size = 0;
        ASSERT_EQ(EVP_Digest(message.data(), message.size(), expected, &size, EVP_sha256(), nullptr), 1);
        ASSERT_EQ(ToHex(Digest(message, 1 + lengths() % 150)),
                  ToHex(std::string(reinterpret_cast<char*>(expected), 32)))
            << "length " << length;
    }
}

}  // namespace
}  // namespace ZEP3DFileCrypt
