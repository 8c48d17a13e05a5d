// Tests of the Rijndael method: FIPS-197 answers, the wide blocks against a byte-wise reference written
// here from the cipher's description, the tables against GF(2^8) algebra, and the settings checks.
#include "filecrypt/ZEP3DCryptRijndael.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "KnownAnswers.h"
#include "TestUtil.h"
#include "filecrypt/CryptTables.h"
#include "filecrypt/ZEP3DMessageDigestSHA.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::CheckCipherKnownAnswers;
using zep::filecrypt::testing::FromHex;
using zep::filecrypt::testing::PseudoRandomBytes;
using zep::filecrypt::testing::ToHex;

// ---- A straightforward byte-wise Rijndael: state of 4 rows by Nb columns, nothing precomputed but
// the S-box, which comes from the multiplicative inverse and the affine map. ----------------------

uint8_t Mul(uint8_t a, uint8_t b) {
    uint8_t product = 0;
    while (b != 0) {
        if (b & 1) product ^= a;
        a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1B : 0));
        b >>= 1;
    }
    return product;
}

uint8_t Inverse(uint8_t a) {
    if (a == 0) return 0;
    for (int b = 1; b < 256; ++b) {
        if (Mul(a, static_cast<uint8_t>(b)) == 1) return static_cast<uint8_t>(b);
    }
    return 0;
}

uint8_t Affine(uint8_t b) {
    uint8_t r = 0x63;
    for (int i = 0; i < 8; ++i) {
        int bit = ((b >> i) ^ (b >> ((i + 4) % 8)) ^ (b >> ((i + 5) % 8)) ^ (b >> ((i + 6) % 8)) ^
                   (b >> ((i + 7) % 8))) &
                  1;
        r = static_cast<uint8_t>(r ^ (bit << i));
    }
    return r;
}

struct ReferenceBoxes {
    uint8_t s[256];
    uint8_t si[256];
    ReferenceBoxes() {
        for (int a = 0; a < 256; ++a) {
            s[a] = Affine(Inverse(static_cast<uint8_t>(a)));
            si[s[a]] = static_cast<uint8_t>(a);
        }
    }
};

const ReferenceBoxes& Boxes() {
    static const ReferenceBoxes boxes;
    return boxes;
}

class ReferenceRijndael {
  public:
    ReferenceRijndael(const std::string& key, int blockBytes) : nb_(blockBytes / 4) {
        const int nk = static_cast<int>(key.size()) / 4;
        rounds_ = std::max(nk, nb_) + 6;
        const int total = nb_ * (rounds_ + 1);
        w_.assign(static_cast<size_t>(total), {0, 0, 0, 0});
        for (int i = 0; i < nk; ++i) {
            for (int j = 0; j < 4; ++j) w_[i][j] = static_cast<uint8_t>(key[static_cast<size_t>(4 * i + j)]);
        }
        uint8_t rcon = 1;
        for (int i = nk; i < total; ++i) {
            std::array<uint8_t, 4> t = w_[static_cast<size_t>(i - 1)];
            if (i % nk == 0) {
                t = {Boxes().s[t[1]], Boxes().s[t[2]], Boxes().s[t[3]], Boxes().s[t[0]]};
                t[0] ^= rcon;
                rcon = Mul(rcon, 2);
            } else if (nk > 6 && i % nk == 4) {
                for (uint8_t& b : t) b = Boxes().s[b];
            }
            for (int j = 0; j < 4; ++j)
                w_[i][j] = static_cast<uint8_t>(w_[static_cast<size_t>(i - nk)][j] ^ t[j]);
        }
        int c[3] = {1, nb_ == 8 ? 3 : 2, nb_ == 8 ? 4 : 3};
        std::memcpy(shift_, c, sizeof(shift_));
    }

    int rounds() const { return rounds_; }

    std::string Encrypt(const std::string& block) const {
        State s = Load(block);
        AddRoundKey(s, 0);
        for (int r = 1; r <= rounds_; ++r) {
            for (auto& row : s) {
                for (int col = 0; col < nb_; ++col) row[col] = Boxes().s[row[col]];
            }
            ShiftRows(s, false);
            if (r != rounds_) MixColumns(s, {2, 3, 1, 1});
            AddRoundKey(s, r);
        }
        return Store(s);
    }

    std::string Decrypt(const std::string& block) const {
        State s = Load(block);
        AddRoundKey(s, rounds_);
        for (int r = rounds_ - 1; r >= 0; --r) {
            ShiftRows(s, true);
            for (auto& row : s) {
                for (int col = 0; col < nb_; ++col) row[col] = Boxes().si[row[col]];
            }
            AddRoundKey(s, r);
            if (r != 0) MixColumns(s, {14, 11, 13, 9});
        }
        return Store(s);
    }

  private:
    using State = std::array<std::array<uint8_t, 8>, 4>;  // [row][column]

    State Load(const std::string& block) const {
        State s{};
        for (int col = 0; col < nb_; ++col) {
            for (int row = 0; row < 4; ++row)
                s[row][col] = static_cast<uint8_t>(block[static_cast<size_t>(4 * col + row)]);
        }
        return s;
    }

    std::string Store(const State& s) const {
        std::string block(static_cast<size_t>(4 * nb_), '\0');
        for (int col = 0; col < nb_; ++col) {
            for (int row = 0; row < 4; ++row)
                block[static_cast<size_t>(4 * col + row)] = static_cast<char>(s[row][col]);
        }
        return block;
    }

    void AddRoundKey(State& s, int round) const {
        for (int col = 0; col < nb_; ++col) {
            for (int row = 0; row < 4; ++row) s[row][col] ^= w_[static_cast<size_t>(round * nb_ + col)][row];
        }
    }

    void ShiftRows(State& s, bool inverse) const {
        for (int row = 1; row < 4; ++row) {
            std::array<uint8_t, 8> old = s[row];
            for (int col = 0; col < nb_; ++col) {
                int from = inverse ? (col - shift_[row - 1] + nb_) % nb_ : (col + shift_[row - 1]) % nb_;
                s[row][col] = old[from];
            }
        }
    }

    // Multiplies every column by the circulant matrix whose first row is `m`.
    void MixColumns(State& s, std::array<uint8_t, 4> m) const {
        for (int col = 0; col < nb_; ++col) {
            uint8_t a[4] = {s[0][col], s[1][col], s[2][col], s[3][col]};
            for (int row = 0; row < 4; ++row) {
                s[row][col] = static_cast<uint8_t>(Mul(m[0], a[row]) ^ Mul(m[1], a[(row + 1) % 4]) ^
                                                   Mul(m[2], a[(row + 2) % 4]) ^ Mul(m[3], a[(row + 3) % 4]));
            }
        }
    }

    int nb_;
    int rounds_;
    int shift_[3];
    std::vector<std::array<uint8_t, 4>> w_;
};

std::unique_ptr<CZEP3DCryptRijndael> Make(const std::string& key, int blockSize, unsigned int mode,
                                          const std::string& chain = std::string(32, '\0')) {
    std::unique_ptr<CZEP3DCryptRijndael> method(new CZEP3DCryptRijndael());
    method->Initialize(key.data(), static_cast<int>(key.size()), chain.data(), static_cast<int>(key.size()),
                       blockSize, mode, ZEROES);
    return method;
}

// ---- Tests ------------------------------------------------------------------------------------------

TEST(CryptRijndael, GivesTheFips197Answers) { CheckCipherKnownAnswers("aes.vec", 0); }

TEST(CryptRijndael, AllBlockSizesAndKeyLengthsAgreeWithTheByteWiseReference) {
    for (int keyLength : {16, 24, 32}) {
        for (int blockSize : {16, 24, 32}) {
            SCOPED_TRACE("key " + std::to_string(keyLength) + " block " + std::to_string(blockSize));
            for (unsigned int seed = 1; seed <= 4; ++seed) {
                std::string key = PseudoRandomBytes(static_cast<size_t>(keyLength), seed * 97 + keyLength);
                std::string plain =
                    PseudoRandomBytes(static_cast<size_t>(blockSize) * 3, seed * 31 + blockSize);
                ReferenceRijndael reference(key, blockSize);
                auto method = Make(key, blockSize, ECB);
                EXPECT_EQ(method->GetRounds(), reference.rounds());
                std::string expected;
                for (int b = 0; b < 3; ++b) {
                    expected += reference.Encrypt(
                        plain.substr(static_cast<size_t>(b * blockSize), static_cast<size_t>(blockSize)));
                }
                std::string cipher(plain.size(), '\0');
                method->Encrypt(plain.data(), &cipher[0], cipher.size());
                ASSERT_EQ(ToHex(cipher), ToHex(expected));
                std::string back(cipher.size(), '\0');
                method->Decrypt(cipher.data(), &back[0], back.size());
                EXPECT_EQ(ToHex(back), ToHex(plain));
                EXPECT_EQ(ToHex(reference.Decrypt(expected.substr(0, static_cast<size_t>(blockSize)))),
                          ToHex(plain.substr(0, static_cast<size_t>(blockSize))));

                // The single-block entry points agree with Encrypt.
                std::string block(static_cast<size_t>(blockSize), '\0');
                method->EncryptBlock(plain.data(), &block[0]);
                EXPECT_EQ(block, cipher.substr(0, block.size()));
                method->DecryptBlock(cipher.data(), &block[0]);
                EXPECT_EQ(block, plain.substr(0, block.size()));
            }
        }
    }
    // The reference itself reproduces FIPS-197 C.1.
    ReferenceRijndael aes(FromHex("000102030405060708090a0b0c0d0e0f"), 16);
    EXPECT_EQ(ToHex(aes.Encrypt(FromHex("00112233445566778899aabbccddeeff"))),
              "69C4E0D86A7B0430D8CDB78070B4C55A");
}

TEST(CryptRijndael, RoundCountFollowsTheLargerOfKeyAndBlock) {
    const int expected[3][3] = {{10, 12, 14}, {12, 12, 14}, {14, 14, 14}};
    for (int k = 0; k < 3; ++k) {
        for (int b = 0; b < 3; ++b) {
            auto method = Make(std::string(static_cast<size_t>(16 + 8 * k), 'k'), 16 + 8 * b, ECB);
            EXPECT_EQ(method->GetRounds(), expected[k][b]) << "key " << 16 + 8 * k << " block " << 16 + 8 * b;
        }
    }
}

TEST(CryptRijndael, TablesFollowFromTheFieldArithmetic) {
    using namespace zep::filecrypt;
    auto word = [](uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
        return (uint32_t(a) << 24) | (uint32_t(b) << 16) | (uint32_t(c) << 8) | d;
    };
    auto ror = [](uint32_t w, int bytes) {
        return bytes == 0 ? w : (w >> (8 * bytes)) | (w << (32 - 8 * bytes));
    };
    const auto& te = kRijndaelTe;
    const auto& td = kRijndaelTd;
    const auto& u = kRijndaelU;
    for (int x = 0; x < 256; ++x) {
        SCOPED_TRACE(x);
        uint8_t s = Boxes().s[x];
        uint8_t si = Boxes().si[x];
        ASSERT_EQ(kRijndaelSbox[x], s);
        ASSERT_EQ(kRijndaelSboxInv[x], si);
        uint8_t b = static_cast<uint8_t>(x);
        for (int r = 0; r < 4; ++r) {
            ASSERT_EQ(te[r][x], ror(word(Mul(s, 2), s, s, Mul(s, 3)), r));
            ASSERT_EQ(td[r][x], ror(word(Mul(si, 14), Mul(si, 9), Mul(si, 13), Mul(si, 11)), r));
            ASSERT_EQ(u[r][x], ror(word(Mul(b, 14), Mul(b, 9), Mul(b, 13), Mul(b, 11)), r));
        }
    }
    uint8_t rcon = 1;
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(kRijndaelRcon[i], rcon) << i;
        rcon = Mul(rcon, 2);
    }
    EXPECT_EQ(kRijndaelRcon[29], 0x91);
}

TEST(CryptRijndael, LastRoundTablesHoldTheSboxValueInTheirRow) {
    using namespace zep::filecrypt;
    for (int x = 0; x < 256; ++x) {
        for (int r = 0; r < 4; ++r) {
            ASSERT_EQ(kRijndaelSboxRow[r][x], uint32_t(kRijndaelSbox[x]) << (24 - 8 * r))
                << x << " row " << r;
        }
    }
}

TEST(CryptRijndael, InitializeChecksInOrderAndAFailedCheckChangesNothing) {
    zep::testing::DebugOutputCapture debug;
    CZEP3DCryptRijndael fresh;
    const char chain[32] = {0};
    fresh.Initialize(nullptr, -1, chain, 20, 8, 3, 3);
    fresh.Initialize("key", 0, chain, 20, 8, 3, 3);
    fresh.Initialize("key", 3, chain, 20, 8, 3, 3);
    fresh.Initialize("key", 3, chain, 16, 8, 3, 3);
    fresh.Initialize("key", 3, chain, 16, 16, 3, 3);
    fresh.Initialize("key", 3, chain, 16, 16, 2, 3);
    EXPECT_EQ(fresh.IsInitialized(), 0);
    EXPECT_EQ(debug.Messages(), (std::vector<std::string>{
                                    "CZEP3DCryptRijndael::Initialize()-No Key DataSpecified!",
                                    "CZEP3DCryptRijndael::Initialize()-Key Data Length should be > 0!",
                                    "CZEP3DCryptRijndael::Initialize()-Illegal Key Length!",
                                    "CZEP3DCryptRijndael::Initialize()-Illegal Block Size!",
                                    "CZEP3DCryptRijndael::Initialize()-Illegal Operation Mode!",
                                    "CZEP3DCryptRijndael::Initialize()-Illegal Padding Mode!",
                                }));

    // An initialised object keeps key, chain and settings through a refused re-initialisation.
    std::string key = PseudoRandomBytes(16, 5);
    auto method = Make(key, 16, CBC);
    std::string plain = PseudoRandomBytes(32, 6);
    std::string first(16, '\0');
    method->Encrypt(plain.data(), &first[0], 16);
    method->Initialize("other", 5, chain, 20, 16, CFB, ZEROES);
    EXPECT_EQ(method->GetOperationMode(), unsigned(CBC));
    std::string second(16, '\0');
    method->Encrypt(plain.data() + 16, &second[0], 16);
    auto whole = Make(key, 16, CBC);
    std::string both(32, '\0');
    whole->Encrypt(plain.data(), &both[0], 32);
    EXPECT_EQ(first + second, both);
}

TEST(CryptRijndael, UninitialisedObjectRefusesEveryOperationWithItsOwnMessage) {
    zep::testing::DebugOutputCapture debug;
    CZEP3DCryptRijndael method;
    char in[32] = {1}, out[32] = {0};
    method.DefEncryptBlock(in, out);
    method.DefDecryptBlock(in, out);
    method.EncryptBlock(in, out);
    method.DecryptBlock(in, out);
    method.Encrypt(in, out, 16);
    method.Decrypt(in, out, 16);
    method.ResetChain();
    EXPECT_EQ(std::string(out, 32), std::string(32, '\0'));
    EXPECT_EQ(debug.Messages(), (std::vector<std::string>{
                                    "CZEP3DCryptRijndael::DefEncryptBlock()-Object not Initialized!",
                                    "CZEP3DCryptRijndael::DefDecryptBlock()-Object not Initialized!",
                                    "CZEP3DCryptRijndael::EncryptBlock()-Object not Initialized!",
                                    "CZEP3DCryptRijndael::DecryptBlock()-Object not Initialized!",
                                    "CZEP3DCryptRijndael::Encrypt()-Object not Initialized!",
                                    "CZEP3DCryptRijndael::Decrypt()-Object not Initialized!",
                                    "CZEP3DCryptRijndael::ResetChain()-Object not Initialized!",
                                }));
}

TEST(CryptRijndael, TakesOneBlockOfTheInitialChainAndRepeatsShortKeyData) {
    // A 32-byte chain block with a 16-byte block size: only the first 16 bytes chain.
    std::string chain = PseudoRandomBytes(16, 8) + PseudoRandomBytes(16, 9);
    std::string key = PseudoRandomBytes(16, 10);
    auto cbc = Make(key, 16, CBC, chain);
    auto ecb = Make(key, 16, ECB);
    std::string plain = PseudoRandomBytes(16, 11);
    std::string mixed = plain;
    for (int i = 0; i < 16; ++i) mixed[i] = static_cast<char>(mixed[i] ^ chain[i]);
    std::string viaCbc(16, '\0'), viaEcb(16, '\0');
    cbc->Encrypt(plain.data(), &viaCbc[0], 16);
    ecb->Encrypt(mixed.data(), &viaEcb[0], 16);
    EXPECT_EQ(viaCbc, viaEcb);

    // Key data of 5 bytes and key length 16: the five bytes three times, then the first once more.
    CZEP3DCryptRijndael repeated;
    const char zero[32] = {0};
    repeated.Initialize("ABCDE", 5, zero, 16, 16, ECB, ZEROES);
    auto direct = Make("ABCDEABCDEABCDEA", 16, ECB);
    std::string a(16, '\0'), b(16, '\0');
    repeated.Encrypt(plain.data(), &a[0], 16);
    direct->Encrypt(plain.data(), &b[0], 16);
    EXPECT_EQ(a, b);
}

TEST(CryptRijndael, FingerprintDigestsNameKeyAndSettingsUpToTheFirstZero) {
    auto digest = [](const std::string& text) {
        CZEP3DMessageDigestSHA sha;
        sha.AddData(text.data(), static_cast<int>(text.size()));
        std::string out(32, '\0');
        sha.FinalDigest(&out[0]);
        return out;
    };
    auto fingerprint = [](ZEP3DICryptMethod& method) {
        std::string out(32, '\0');
        method.GetFingerprint(&out[0]);
        return out;
    };
    auto plain = Make("0123456789ABCDEF", 16, ECB);
    EXPECT_EQ(fingerprint(*plain), digest("RIJNDAEL0123456789ABCDEF161600"));
    CZEP3DCryptRijndael wide;
    wide.Initialize("0123456789ABCDEF0123456789ABCDEF", 32, nullptr, 32, 24, CFB, PADCOUNT);
    EXPECT_EQ(fingerprint(wide), digest("RIJNDAEL0123456789ABCDEF0123456789ABCDEF243222"));
    // A zero key byte ends the digested text: the settings no longer count.
    std::string zeroKey("PlumTreeGlade\0\0\0", 16);
    auto a = Make(zeroKey, 16, ECB);
    auto b = Make(zeroKey, 32, CBC);
    EXPECT_EQ(fingerprint(*a), digest("RIJNDAELPlumTreeGlade"));
    EXPECT_EQ(fingerprint(*a), fingerprint(*b));
}

}  // namespace
}  // namespace ZEP3DFileCrypt
