// Speed of the crypt kit against OpenSSL on 16 KiB buffers (AES-128 and AES-256 ECB/CBC, Blowfish CBC,
// SHA-256), and EncryptFile of a 256 MiB file in the page cache.
//
// Three parts in one run: the processor paths (ours on the AES and SHA instructions against OpenSSL
// with its own), and the portable paths (ours forced to the table code against OpenSSL held to its
// table code). OpenSSL's paths are set through OPENSSL_ia32cap, which it reads as it is loaded:
// "~0:~0" leaves it everything (without a second word it would drop the SHA extensions and AVX2); AES
// and Blowfish run portable with "~0x200020200000000" (no AES-NI, no SSSE3); SHA-256 needs
// "~0x1000020000000000:~0x20000020" (no SSSE3/AVX, no SHA extensions, no AVX2). When the variable is
// not set, the program runs itself once with each setting; set it to run one part alone.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>
#include <openssl/provider.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "filecrypt/CryptInstructions.h"
#include "filecrypt/ZEP3DCryptBlowFish.h"
#include "filecrypt/ZEP3DCryptRijndael.h"
#include "filecrypt/ZEP3DMessageDigestSHA.h"

namespace {

using namespace ZEP3DFileCrypt;

constexpr size_t kBuffer = 16 * 1024;
const char kFullCap[] = "~0:~0";
const char kAesCap[] = "~0x200020200000000";
const char kShaCap[] = "~0x1000020000000000:~0x20000020";

std::vector<char> Data(size_t size) {
    std::vector<char> data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 131 + 7);
    return data;
}

// ---- Ours ---------------------------------------------------------------------------------------

const char kKey[32] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16,
                       17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32};

void OursRijndael(benchmark::State& state, int keyLength, unsigned int mode, bool encrypt) {
    CZEP3DCryptRijndael method;
    const char chain[32] = {0};
    method.Initialize(kKey, keyLength, chain, keyLength, 16, mode, ZEROES);
    std::vector<char> in = Data(kBuffer), out(kBuffer);
    for (auto _ : state) {
        if (encrypt) {
            method.Encrypt(in.data(), out.data(), kBuffer);
        } else {
            method.Decrypt(in.data(), out.data(), kBuffer);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBuffer));
}

void OursBlowFishCbc(benchmark::State& state) {
    CZEP3DCryptBlowFish method;
    method.Initialize("8bytekey", 8, nullptr, 56, 8, CBC, ZEROES);
    std::vector<char> in = Data(kBuffer), out(kBuffer);
    for (auto _ : state) {
        method.Encrypt(in.data(), out.data(), kBuffer);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBuffer));
}

void OursSha256(benchmark::State& state) {
    std::vector<char> in = Data(kBuffer);
    char digest[32];
    for (auto _ : state) {
        CZEP3DMessageDigestSHA sha;
        sha.AddData(in.data(), static_cast<int>(kBuffer));
        sha.FinalDigest(digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBuffer));
}

// ---- OpenSSL ------------------------------------------------------------------------------------

void OpenSslCipher(benchmark::State& state, const char* name, bool encrypt) {
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, name, nullptr);
    if (cipher == nullptr) {
        state.SkipWithError("OpenSSL lacks the cipher");
        return;
    }
    const unsigned char iv[16] = {0};
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, cipher, nullptr, reinterpret_cast<const unsigned char*>(kKey), iv,
                      encrypt ? 1 : 0);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    std::vector<char> in = Data(kBuffer), out(kBuffer + 64);
    int length = 0;
    for (auto _ : state) {
        EVP_CipherUpdate(ctx, reinterpret_cast<unsigned char*>(out.data()), &length,
                         reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(kBuffer));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBuffer));
    EVP_CIPHER_CTX_free(ctx);
    EVP_CIPHER_free(cipher);
}

void OpenSslSha256(benchmark::State& state) {
    std::vector<char> in = Data(kBuffer);
    unsigned char digest[32];
    unsigned int size = 0;
    for (auto _ : state) {
        EVP_Digest(in.data(), kBuffer, digest, &size, EVP_sha256(), nullptr);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kBuffer));
}

// ---- Files --------------------------------------------------------------------------------------

void EncryptFile256MiB(benchmark::State& state) {
    zep::testing::ScopedTempDir dir;
    const std::string plain = dir.File("plain"), cipher = dir.File("cipher");
    {
        std::vector<char> chunk = Data(1 << 20);
        std::ofstream out(plain, std::ios::binary);
        for (int i = 0; i < 256; ++i) out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
    CZEP3DCryptRijndael method;
    const char key[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const char chain[32] = {0};
    method.Initialize(key, 16, chain, 16, 16, CBC, ZEROES);
    method.EncryptFile(plain, cipher);  // reads the plain file once more, as every timed call will
    for (auto _ : state) {
        // Each timed call writes a new file, as a run does. Writing over the previous call's output
        // would add the discarding of 256 MiB of it (freeing its page-cache pages and blocks when the
        // file is truncated on opening) to the enciphering being measured.
        state.PauseTiming();
        std::remove(cipher.c_str());
        state.ResumeTiming();
        method.EncryptFile(plain, cipher);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (int64_t(256) << 20));
}

// Ours and OpenSSL's, each of AES-128 and AES-256 in ECB and CBC, both ways.
void RegisterAes(const std::string& prefix) {
    struct Case {
        const char* name;
        int keyLength;
        unsigned int mode;
        bool encrypt;
        const char* openssl;
    };
    const Case cases[] = {
        {"AES128_ECB_encrypt", 16, ECB, true, "AES-128-ECB"},
        {"AES128_ECB_decrypt", 16, ECB, false, "AES-128-ECB"},
        {"AES128_CBC_encrypt", 16, CBC, true, "AES-128-CBC"},
        {"AES128_CBC_decrypt", 16, CBC, false, "AES-128-CBC"},
        {"AES256_ECB_encrypt", 32, ECB, true, "AES-256-ECB"},
        {"AES256_ECB_decrypt", 32, ECB, false, "AES-256-ECB"},
        {"AES256_CBC_encrypt", 32, CBC, true, "AES-256-CBC"},
        {"AES256_CBC_decrypt", 32, CBC, false, "AES-256-CBC"},
    };
    for (const Case& c : cases) {
        benchmark::RegisterBenchmark((prefix + c.name + "/ours").c_str(), OursRijndael, c.keyLength, c.mode,
                                     c.encrypt);
        benchmark::RegisterBenchmark((prefix + c.name + "/openssl").c_str(), OpenSslCipher, c.openssl,
                                     c.encrypt);
    }
}

void RegisterProcessorBenchmarks() {
    RegisterAes("");
    benchmark::RegisterBenchmark("SHA256/ours", OursSha256);
    benchmark::RegisterBenchmark("SHA256/openssl", OpenSslSha256);
    benchmark::RegisterBenchmark("EncryptFile_256MiB_AES128_CBC/ours", EncryptFile256MiB)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
}

void RegisterPortableCipherBenchmarks() {
    RegisterAes("portable/");
    benchmark::RegisterBenchmark("portable/BlowFish_CBC_encrypt/ours", OursBlowFishCbc);
    benchmark::RegisterBenchmark("portable/BlowFish_CBC_encrypt/openssl", OpenSslCipher, "BF-CBC", true);
}

void RegisterPortableShaBenchmarks() {
    benchmark::RegisterBenchmark("portable/SHA256/ours", OursSha256);
    benchmark::RegisterBenchmark("portable/SHA256/openssl", OpenSslSha256);
}

// Runs this program again with OPENSSL_ia32cap set to `cap` (OpenSSL reads it when it is loaded, before
// main), passing the arguments on.
int RunWithCap(const char* cap, int argc, char** argv) {
    std::string command = std::string("OPENSSL_ia32cap='") + cap + "'";
    for (int i = 0; i < argc; ++i) command += std::string(" '") + argv[i] + "'";
    std::fflush(stdout);
    return std::system(command.c_str()) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const char* cap = std::getenv("OPENSSL_ia32cap");
    if (cap == nullptr) {
        int failed = 0;
        for (const char* part : {kFullCap, kAesCap, kShaCap}) failed |= RunWithCap(part, argc, argv);
        return failed;
    }
    OSSL_PROVIDER_load(nullptr, "legacy");
    OSSL_PROVIDER_load(nullptr, "default");
    const std::string given(cap);
    if (given == kAesCap) {
        zep::filecrypt::ForcePortableCrypt(true);
        RegisterPortableCipherBenchmarks();
    } else if (given == kShaCap) {
        zep::filecrypt::ForcePortableCrypt(true);
        RegisterPortableShaBenchmarks();
    } else {
        RegisterProcessorBenchmarks();
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
