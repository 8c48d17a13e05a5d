// Tests of the account reader: real account files with passwords enciphered by the library's own
// Rijndael method, every status, the buffer limits, and what is left in the caller's buffers.
#include "toolkit/ZEP3DACCSecurity.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "filecrypt/ZEP3DCryptRijndael.h"
#include "toolkit/AccountFile_test.h"
#include "toolkit/AllocationFailure_test.h"

namespace {

using zep::testing::DebugOutputCapture;
using zep::testing::ScopedTempDir;
using zep::toolkit::testing::AccountFile;
using Strings = std::vector<std::string>;
using namespace std::string_literals;

const char kBlockSizeRefused[] = "CZEP3DCryptRijndael::Decrypt()-Illegal Block Size!";

// The password's bytes, zero bytes up to whole 16-byte blocks, enciphered by the library's Rijndael
// method in ECB under the account key, as upper-case hexadecimal digits.
std::string EncipherPassword(const std::string& password) {
    std::string padded = password;
    padded.resize((password.size() + 15) / 16 * 16, '\0');
    if (padded.empty()) return "";
    const char key[16] = {'P', 'l', 'u', 'm', 'T', 'r', 'e', 'e', 'G', 'l', 'a', 'd', 'e', 0, 0, 0};
    const char chain[32] = {0};
    ZEP3DFileCrypt::CZEP3DCryptRijndael method;
    method.Initialize(key, 16, chain, 16, 16, ZEP3DFileCrypt::ECB, ZEP3DFileCrypt::ZEROES);
    std::string cipher(padded.size(), '\0');
    method.Encrypt(padded.data(), &cipher[0], padded.size());
    return zep::toolkit::testing::Hex(cipher);
}

class AccountTest : public ::testing::Test {
  protected:
    // Writes acc.ini (CR LF line ends) under <dir>/Bin and returns its path as the launch code builds
    // it, with backslashes.
    std::string Write(const std::string& content) {
        std::filesystem::create_directories(dir_.File("Bin"));
        zep::testing::WriteFile(dir_.File("Bin/acc.ini"), content);
        return dir_.path() + "\\Bin\\acc.ini";
    }
    // Reads the account into 1024-byte buffers that start full of 'X'.
    bool Read(CZEP3DACCSecurity& reader, const std::string& path) {
        std::memset(user_, 'X', sizeof(user_));
        std::memset(password_, 'X', sizeof(password_));
        return reader.ReadAccount(path.c_str(), user_, password_);
    }
    // Reads with a new reader and returns its status; both outputs must be empty on failure.
    int StatusOf(const std::string& content) {
        CZEP3DACCSecurity reader;
        const bool ok = Read(reader, Write(content));
        if (!ok) {
            EXPECT_STREQ(user_, "");
            EXPECT_STREQ(password_, "");
        }
        return ok ? 1000 : reader.GetStatus();
    }

    ScopedTempDir dir_;
    char user_[1024];
    char password_[1024];
};

TEST_F(AccountTest, ReadsTheUserNameAndTheDecipheredPassword) {
    DebugOutputCapture debug;
    CZEP3DACCSecurity reader;
    EXPECT_EQ(reader.GetStatus(), 1000);
    ASSERT_TRUE(Read(reader, Write(AccountFile("runner", EncipherPassword("s3cret!")))));
    EXPECT_EQ(reader.GetStatus(), 1000);
    EXPECT_STREQ(user_, "runner");
    EXPECT_STREQ(password_, "s3cret!");
    EXPECT_TRUE(debug.Messages().empty());

    // Names in any letter case; a password of exactly one block (no padding) and one of eight blocks.
    const std::string block(16, 'p');
    const std::string eight(128, 'q');
    ASSERT_TRUE(Read(reader, Write("[accsecurity]\r\nUSERNAME=Domain\\User Name \r\npassword=" +
                                   EncipherPassword(block) + "\r\n")));
    EXPECT_STREQ(user_, "Domain\\User Name ");  // nothing trimmed
    EXPECT_EQ(password_, block);
    ASSERT_TRUE(Read(reader, Write(AccountFile("u", EncipherPassword(eight)))));
    EXPECT_EQ(password_, eight);
    EXPECT_EQ(EncipherPassword(eight).size(), 256u);

    // Buffers of exactly the documented 512 bytes, on the heap so that a write past them is seen.
    std::vector<char> user(512, 'X');
    std::vector<char> password(512, 'X');
    ASSERT_TRUE(reader.ReadAccount(Write(AccountFile(std::string(511, 'u'), EncipherPassword(eight))).c_str(),
                                   user.data(), password.data()));
    EXPECT_EQ(std::string(user.data()), std::string(511, 'u'));
    EXPECT_EQ(std::string(password.data()), eight);
    EXPECT_FALSE(
        reader.ReadAccount(Write(AccountFile(std::string(512, 'u'), EncipherPassword(eight))).c_str(),
                           user.data(), password.data()));
    EXPECT_EQ(user[0], 0);
    EXPECT_EQ(password[0], 0);
    EXPECT_EQ(reader.GetStatus(), 1010);

    // A zero byte inside the first block ends the password there.
    CZEP3DACCSecurity fresh;
    ASSERT_TRUE(Read(fresh, Write(AccountFile("u", EncipherPassword("abcde\0fghij"s)))));
    EXPECT_STREQ(password_, "abcde");
    EXPECT_EQ(fresh.GetStatus(), 1000);
}

TEST_F(AccountTest, StatusNamesTheFailingStep) {
    CZEP3DACCSecurity reader;
    EXPECT_FALSE(reader.ReadAccount(nullptr, user_, password_));
    EXPECT_EQ(reader.GetStatus(), 1001);
    std::memset(user_, 'X', sizeof(user_));
    EXPECT_FALSE(reader.ReadAccount("", user_, password_));
    EXPECT_EQ(reader.GetStatus(), 1001);
    EXPECT_STREQ(user_, "");
    EXPECT_FALSE(Read(reader, dir_.File("missing\\acc.ini")));
    EXPECT_EQ(reader.GetStatus(), 1004);
    EXPECT_STREQ(user_, "");
    EXPECT_STREQ(password_, "");

    const std::string good = EncipherPassword("pw");
    EXPECT_EQ(StatusOf("; comments only\r\nno marker\r\n[unclosed\r\n"), 1007);
    // A key line before any section makes the section with the empty name: read, but no account.
    EXPECT_EQ(StatusOf("UserName=u\r\nPassword=" + good + "\r\n"), 1010);
    EXPECT_EQ(StatusOf(""), 1007);
    std::filesystem::create_directories(dir_.File("folder"));
    EXPECT_FALSE(Read(reader, dir_.File("folder")));
    EXPECT_EQ(reader.GetStatus(), 1007);

    EXPECT_EQ(StatusOf("[Other]\r\nUserName=u\r\nPassword=" + good + "\r\n"), 1010);
    EXPECT_EQ(StatusOf("[ACCSecurity]\r\nUserName=u\r\n"), 1010);
    EXPECT_EQ(StatusOf(AccountFile("u", "")), 1010);
    EXPECT_EQ(StatusOf(AccountFile("", good)), 1010);
    EXPECT_EQ(StatusOf(AccountFile("u", EncipherPassword("\0rest"s))), 1010);
    {
        // 30 digits: 15 bytes, not a whole block; the method refuses them and the text is empty.
        DebugOutputCapture debug;
        EXPECT_EQ(StatusOf(AccountFile("u", good.substr(0, 30))), 1010);
        EXPECT_EQ(debug.Messages(), Strings{kBlockSizeRefused});
        debug.Clear();
        EXPECT_EQ(StatusOf(AccountFile("u", good + "0")), 1000);  // an odd last digit is ignored
        EXPECT_TRUE(debug.Messages().empty());
    }

    // Null output buffers are not written and count as empty.
    EXPECT_FALSE(reader.ReadAccount(Write(AccountFile("u", good)).c_str(), nullptr, nullptr));
    EXPECT_EQ(reader.GetStatus(), 1010);
    EXPECT_FALSE(reader.ReadAccount(Write(AccountFile("u", good)).c_str(), user_, nullptr));
    EXPECT_STREQ(user_, "");

    // A later success keeps the status of the earlier failure.
    ASSERT_TRUE(Read(reader, Write(AccountFile("u", good))));
    EXPECT_EQ(reader.GetStatus(), 1010);
    EXPECT_STREQ(password_, "pw");
}

TEST_F(AccountTest, ValuesBeyondTheBuffersAreRefusedNeverCut) {
    const std::string good = EncipherPassword("pw");
    EXPECT_EQ(StatusOf(AccountFile(std::string(511, 'u'), good)), 1000);
    EXPECT_EQ(std::strlen(user_), 511u);
    EXPECT_EQ(StatusOf(AccountFile(std::string(512, 'u'), good)), 1010);
    EXPECT_EQ(StatusOf(AccountFile(std::string(5000, 'u'), good)), 1010);

    // 271 digits fit the decryption buffers (135 bytes, not whole blocks); 272 and more do not.
    const std::string nine = EncipherPassword(std::string(130, 'n'));  // 9 blocks, 288 digits
    ASSERT_EQ(nine.size(), 288u);
    EXPECT_EQ(StatusOf(AccountFile("u", nine.substr(0, 271))), 1010);
    EXPECT_EQ(StatusOf(AccountFile("u", nine.substr(0, 272))), 1009);
    EXPECT_EQ(StatusOf(AccountFile("u", nine)), 1009);
    EXPECT_EQ(StatusOf(AccountFile("u", std::string(511, 'A'))), 1009);
    EXPECT_EQ(StatusOf(AccountFile("u", std::string(512, 'A'))), 1009);
    EXPECT_EQ(StatusOf(AccountFile("u", std::string(9000, 'A'))), 1009);
    // The status of the decryption step comes first, as in a read whose user name is merely empty.
    EXPECT_EQ(StatusOf(AccountFile(std::string(600, 'u'), nine)), 1009);
}

TEST_F(AccountTest, AFailedReadLeavesNoPasswordInTheCallersBuffer) {
    const std::string secret = "Correct-Horse-Battery";
    CZEP3DACCSecurity reader;
    EXPECT_FALSE(Read(reader, Write(AccountFile("", EncipherPassword(secret)))));
    EXPECT_EQ(reader.GetStatus(), 1010);
    const std::string seen(password_, sizeof(password_));
    EXPECT_EQ(seen.find("Horse"), std::string::npos);
    // The bytes the password took are zero; the rest of the buffer is untouched.
    EXPECT_EQ(seen.substr(0, secret.size() + 1), std::string(secret.size() + 1, '\0'));
    EXPECT_EQ(seen[secret.size() + 1], 'X');
}

TEST_F(AccountTest, RunningOutOfMemoryAtAnyAllocationEndsInADesignedStatusOrLosesNothing) {
    const std::string path = Write(AccountFile("runner", EncipherPassword("pw")));
    long total = 0;
    {
        CZEP3DACCSecurity reader;
        zep::toolkit::testing::FailNthAllocation count(0);
        ASSERT_TRUE(reader.ReadAccount(path.c_str(), user_, password_));
        total = count.Count();
    }
    ASSERT_GT(total, 3);
    bool kitFailed = false;
    for (long n = 1; n <= total; ++n) {
        CZEP3DACCSecurity reader;
        DebugOutputCapture debug;
        std::memset(password_, 'X', sizeof(password_));
        bool ok = true;
        bool failed = false;
        {
            zep::toolkit::testing::FailNthAllocation fail(n);
            ok = reader.ReadAccount(path.c_str(), user_, password_);
            failed = fail.Failed();
        }
        EXPECT_TRUE(failed) << n;
        const int status = reader.GetStatus();
        if (ok) {
            // Losing the file's comment, or an index (lookups then scan), does not lose the account.
            EXPECT_EQ(status, 1000) << n;
            EXPECT_STREQ(user_, "runner") << n;
            EXPECT_STREQ(password_, "pw") << n;
            continue;
        }
        EXPECT_TRUE(status == 1004 || status == 1007 || status == 1009 || status == 1010)
            << n << " " << status;
        EXPECT_STREQ(user_, "") << n;
        EXPECT_STREQ(password_, "") << n;
        if (status == 1009) {
            EXPECT_EQ(debug.Messages(), Strings{"CZEP3DCryptKit::Create()-Create CryptMethod object error!"});
            kitFailed = true;
        }
    }
    EXPECT_TRUE(kitFailed);
}

}  // namespace
