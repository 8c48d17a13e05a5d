// Tests of the two-half reader and of the encrypted file format that every method offers.
#include "filecrypt/ZEP3DDoubleBuffering.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "KnownAnswers.h"
#include "TestUtil.h"
#include "filecrypt/ZEP3DCryptKit.h"
#include "filecrypt/ZEP3DCryptRijndael.h"
#include "filecrypt/ZEP3DICryptMethod.h"

namespace ZEP3DFileCrypt {
namespace {

using zep::filecrypt::testing::Apply;
using zep::filecrypt::testing::Fingerprint;
using zep::filecrypt::testing::kClassNames;
using zep::filecrypt::testing::Kind;
using zep::filecrypt::testing::kKinds;
using zep::filecrypt::testing::MakeMethod;
using zep::filecrypt::testing::PseudoRandomBytes;
using zep::testing::ReadFile;
using zep::testing::ScopedTempDir;
using zep::testing::WriteFile;

// The pieces a reader over `content` hands out for the given requests (then until it gives 0).
std::vector<int> Pieces(const std::string& content, int size, int dataLength, std::vector<int> requests,
                        std::string* delivered) {
    ScopedTempDir dir;
    WriteFile(dir.File("in"), content);
    std::ifstream file(dir.File("in"), std::ios::binary);
    std::vector<char> buffer(static_cast<size_t>(size));
    CZEP3DDoubleBuffering reader(file, buffer.data(), size, dataLength);
    std::vector<int> counts;
    std::vector<char> out(static_cast<size_t>(size));
    size_t next = 0;
    for (;;) {
        int request = next < requests.size() ? requests[next++] : -1;
        int n = reader.GetData(out.data(), request);
        counts.push_back(n);
        if (n > 0) delivered->append(out.data(), static_cast<size_t>(n));
        if (n == 0 && next >= requests.size()) break;
    }
    return counts;
}

TEST(DoubleBuffering, HandsOutTheStreamInPiecesThenTheRestThenZero) {
    std::string got;
    for (size_t length : {0, 1, 383, 384, 385, 511, 512, 513, 1023, 1024, 1025, 5000}) {
        SCOPED_TRACE(length);
        const std::string content = PseudoRandomBytes(length, static_cast<unsigned int>(length));
        got.clear();
        std::vector<int> expected(length / 384, 384);
        if (length % 384 != 0) expected.push_back(static_cast<int>(length % 384));
        expected.push_back(0);
        EXPECT_EQ(Pieces(content, 1024, 384, {}, &got), expected);
        EXPECT_EQ(got, content);
    }
    // Mixed lengths, crossing the halves and the end of the buffer in every way.
    const std::string content = PseudoRandomBytes(3000, 9);
    got.clear();
    Pieces(content, 16, 8, {1, 8, 7, 3, 8, 8, 2, 5, 8, 8, 8, 1, 1, 6, 8, 8, 4, 8}, &got);
    EXPECT_EQ(got, content);
}

TEST(DoubleBuffering, RefusesBadConstructionAndBadLengths) {
    zep::testing::DebugOutputCapture debug;
    ScopedTempDir dir;
    WriteFile(dir.File("in"), "data");
    std::ifstream file(dir.File("in"), std::ios::binary);
    std::ifstream closed;
    char buffer[1024];
    char out[1024];
    CZEP3DDoubleBuffering odd(file, buffer, 1023, 10);
    CZEP3DDoubleBuffering notOpen(closed, buffer, 1024, 10);
    CZEP3DDoubleBuffering tooLong(file, buffer, 1024, 513);
    CZEP3DDoubleBuffering zero(file, buffer, 1024, 0);
    CZEP3DDoubleBuffering noBuffer(file, nullptr, 1024, 10);
    EXPECT_EQ(odd.GetData(out), 0);
    EXPECT_EQ(notOpen.GetData(out, 5), 0);
    EXPECT_EQ(tooLong.GetData(out, 4), 0);
    EXPECT_EQ(noBuffer.GetData(out, 4), 0);
    CZEP3DDoubleBuffering good(file, buffer, 1024, 384);
    EXPECT_EQ(good.GetData(out, 513), 0);
    EXPECT_EQ(good.GetData(out, 0), 0);
    EXPECT_EQ(good.GetData(out, 3), 3);
    EXPECT_EQ(good.GetData(out), 1);
    EXPECT_EQ(good.GetData(out), 0);
    const std::string made = "CZEP3DDoubleBuffering::CZEP3DDoubleBuffering()-",
                      illegal = made + "Illegal Construction Data!",
                      length = "CZEP3DDoubleBuffering::GetData()-Illegal iDataLen";
    EXPECT_EQ(debug.Messages(),
              (std::vector<std::string>{made + "m_iSize should be Even Number!",
                                        made + "Referenced File not Opened or in Bad State!", illegal,
                                        illegal, illegal, length, length}));
}

// ---- The encrypted file format ------------------------------------------------------------------

// The expected file: fingerprint, then pieces of 384 bytes each enciphered by one call from a reset chain.
std::string ExpectedFile(ZEP3DICryptMethod& method, const std::string& plain) {
    std::string file = Fingerprint(method);
    method.ResetChain();
    for (size_t pos = 0; pos < plain.size(); pos += 384) {
        std::string piece = plain.substr(pos, 384);
        size_t length = piece.size();
        piece.resize(400, '\0');
        if (length < 384) length = static_cast<size_t>(method.Padding(&piece[0], static_cast<int>(length)));
        file += Apply(method, true, piece.substr(0, length));
    }
    return file;
}

TEST(CryptFile, EnciphersInPiecesBehindTheFingerprintAndDeciphersToThePaddedText) {
    // Short files, and lengths around the ends of the chunks of 384 KiB that are read at a time (and,
    // deciphering, 32 bytes later) where the last piece is short, empty or whole, up to more chunks than
    // the reader's ring holds.
    ScopedTempDir dir;
    const size_t k = 384 * 1024;
    const size_t lengths[] = {0, 1,     383,    384,         385,         1000,      k - 1,
                              k, k + 1, k + 32, 2 * k - 100, 2 * k + 500, 5 * k + 77};
    for (const Kind& kind : kKinds) {
        for (size_t length : lengths) {
            if (length > 1000 && (kind.method == 2 || kind.blockSize != 16)) continue;
            SCOPED_TRACE(std::string(kind.name) + " length " + std::to_string(length));
            std::string key = PseudoRandomBytes(kind.keyBytes, 3);
            auto method = MakeMethod(kind.method, key, kind.blockSize, CBC, PADCOUNT);
            std::string plain = PseudoRandomBytes(length, static_cast<unsigned int>(length) + 1);
            WriteFile(dir.File("plain"), plain);
            method->EncryptFile(dir.File("plain"), dir.File("cipher"));
            std::string cipher = ReadFile(dir.File("cipher"));
            size_t bs = static_cast<size_t>(kind.blockSize);
            EXPECT_EQ(cipher.size(), 32 + (length + bs - 1) / bs * bs);
            auto again = MakeMethod(kind.method, key, kind.blockSize, CBC, PADCOUNT);
            ASSERT_EQ(cipher, ExpectedFile(*again, plain));

            method->DecryptFile(dir.File("cipher"), dir.File("back"));
            std::string back = ReadFile(dir.File("back"));
            ASSERT_EQ(back.size(), cipher.size() - 32);
            EXPECT_TRUE(back.compare(0, length, plain) == 0);
            size_t pad = back.size() - length;
            EXPECT_EQ(back.substr(length), std::string(pad, static_cast<char>(pad)));
        }
    }
}

TEST(CryptFile, FailuresAreReportedAndLeaveTheFilesAsTheyWere) {
    ScopedTempDir dir;
    const std::string key = PseudoRandomBytes(16, 5), text = PseudoRandomBytes(800, 6);
    const std::string plain = dir.File("plain"), cipher = dir.File("cipher"), back = dir.File("back"),
                      none = dir.File("none");
    WriteFile(plain, text);
    std::unique_ptr<ZEP3DICryptMethod> methods[] = {
        MakeMethod(0, key, 16, CBC, ZEROES), MakeMethod(0, PseudoRandomBytes(16, 7), 16, CBC, ZEROES),
        MakeMethod(0, key, 16, CFB, ZEROES), MakeMethod(0, key, 16, CBC, BLANKS),
        MakeMethod(0, key, 24, CBC, ZEROES), MakeMethod(2, key, 8, CBC, ZEROES),
        MakeMethod(1, "8bytekey", 8, ECB)};
    methods[0]->EncryptFile(plain, cipher);
    const std::string good = ReadFile(cipher);
    WriteFile(dir.File("cut"), good.substr(0, good.size() - 5));
    WriteFile(dir.File("short"), "tiny");
    // The same file under another spelling, or through a hard link, is the same file.
    const std::string spelt = dir.path() + "/./plain";
    std::error_code error;
    std::filesystem::create_hard_link(plain, dir.File("link"), error);
    const std::string link = error ? spelt : dir.File("link");
    const struct {
        size_t method;
        bool encrypt;
        std::string in, out;
    } rows[] = {
        // Another key, mode, padding, block size or method fails at the fingerprint, before the output
        // is touched; so does a file shorter than the fingerprint.
        {1, false, cipher, back},
        {2, false, cipher, back},
        {3, false, cipher, back},
        {4, false, cipher, back},
        {5, false, cipher, back},
        {0, false, dir.File("short"), back},
        // A truncated last piece is not deciphered: no part of the file is written.
        {0, false, dir.File("cut"), back},
        {0, false, dir.File("cut"), none},
        {5, true, plain, plain},
        {5, false, plain, plain},
        {5, true, plain, spelt},
        {5, false, spelt, plain},
        {5, true, link, plain},
        {5, true, dir.File("missing"), none},
        {5, true, plain, dir.File("no/such/back")},
        {6, false, dir.File("missing"), back},
        {6, false, plain, dir.File("no/such/back")},
        // A folder opens for reading on some systems but gives no bytes: not an empty plaintext.
        {0, true, dir.path(), none},
        {0, false, dir.path(), none}};
    WriteFile(back, "old content");
    for (const auto& row : rows) {
        SCOPED_TRACE(std::to_string(row.method) + " " + row.in + " -> " + row.out);
        zep::testing::DebugOutputCapture debug;
        ZEP3DICryptMethod& method = *methods[row.method];
        if (row.encrypt) {
            method.EncryptFile(row.in, row.out);
        } else {
            method.DecryptFile(row.in, row.out);
        }
        const std::string name = kClassNames[row.method == 6 ? BLOWFISH : row.method == 5 ? TEA : RIJNDAEL];
        EXPECT_EQ(debug.Messages(),
                  std::vector<std::string>{
                      name + (row.encrypt ? "::EncryptFile()-Error!" : "::DecryptFile()-Error!")});
    }
    EXPECT_EQ(ReadFile(back), "old content");
    EXPECT_EQ(ReadFile(plain), text);
    EXPECT_EQ(zep::testing::FilesStartingWith(dir.path(), "back"), std::vector<std::string>{"back"});
    EXPECT_FALSE(zep::testing::FileExists(none));

    // A device that refuses every write: /dev/full, which Wine shows on its drive Z:.
    std::string full;
    for (const char* device : {"/dev/full", "Z:/dev/full"}) {
        if (FILE* probe = std::fopen(device, "rb")) {
            std::fclose(probe);
            full = device;
            break;
        }
    }
    if (full.empty()) GTEST_SKIP() << "no device that refuses every write";
    // A device is written in place; one taken for a plain file would be replaced by the output.
    zep::platform::FileStatus status;
    ASSERT_TRUE(zep::platform::QueryFileStatus(full.c_str(), &status));
    ASSERT_FALSE(status.isRegular);
    zep::testing::DebugOutputCapture debug;
    methods[0]->EncryptFile(plain, full);
    methods[0]->DecryptFile(cipher, full);
    EXPECT_EQ(debug.Messages(), (std::vector<std::string>{"CZEP3DCryptRijndael::EncryptFile()-Error!",
                                                          "CZEP3DCryptRijndael::DecryptFile()-Error!"}));
}

TEST(CryptFile, AReplacedOutputKeepsItsPermissions) {
    namespace fs = std::filesystem;
    ScopedTempDir dir;
    auto method = MakeMethod(2, "0123456789ABCDEF", 8, CBC);
    WriteFile(dir.File("plain"), PseudoRandomBytes(5000, 10));
    const fs::perms modes[] = {fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
                               fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read};
    for (fs::perms mode : modes) {
        WriteFile(dir.File("cipher"), "old");
        fs::permissions(dir.File("cipher"), mode);
        if ((fs::status(dir.File("cipher")).permissions() & fs::perms::all) != mode)
            GTEST_SKIP() << "the system keeps no POSIX permission bits";
        method->EncryptFile(dir.File("plain"), dir.File("cipher"));
        method->DecryptFile(dir.File("cipher"), dir.File("back"));
        EXPECT_EQ(ReadFile(dir.File("back")).substr(0, 5000), ReadFile(dir.File("plain")));
        EXPECT_EQ(fs::status(dir.File("cipher")).permissions() & fs::perms::all, mode);
        fs::permissions(dir.File("cipher"), fs::perms::owner_write, fs::perm_options::add);
    }
}

}  // namespace
}  // namespace ZEP3DFileCrypt
