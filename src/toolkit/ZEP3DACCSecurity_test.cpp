// Tests of the account reader: real account files with passwords enciphered by the library's own
// Rijndael method or made by the password helper, every status, the buffer limits, and what is left in
// the caller's buffers.
#include "toolkit/ZEP3DACCSecurity.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "AllocationFailure.h"
#include "KnownAnswers.h"
#include "TestUtil.h"
#include "toolkit/AccountPassword.h"

namespace {

using zep::filecrypt::testing::Apply;
using zep::filecrypt::testing::MakeMethod;
using zep::filecrypt::testing::ToHex;
using zep::testing::DebugOutputCapture;
using Strings = std::vector<std::string>;
using namespace std::string_literals;

// An account file as the installation writes it on Windows: CR LF line ends, a comment, the section.
std::string AccountFile(const std::string& userName, const std::string& passwordHex) {
    return "; cluster account\r\n[ACCSecurity]\r\nUserName=" + userName + "\r\nPassword=" + passwordHex +
           "\r\n";
}

// The password's bytes, zero bytes up to whole 16-byte blocks, enciphered by the library's Rijndael
// method in ECB under the account key, as upper-case hexadecimal digits.
std::string EncipherPassword(const std::string& password) {
    std::string padded = password;
    padded.resize((password.size() + 15) / 16 * 16, '\0');
    return ToHex(
        Apply(*MakeMethod(0, std::string("PlumTreeGlade\0\0\0", 16), 16, ZEP3DFileCrypt::ECB), true, padded));
}

class AccountTest : public ::testing::Test {
  protected:
    // Writes acc.ini under <dir>/Bin and returns its path as the launch code builds it, with backslashes.
    std::string Write(const std::string& content) {
        std::filesystem::create_directories(dir_.File("Bin"));
        zep::testing::WriteFile(dir_.File("Bin/acc.ini"), content);
        return dir_.path() + "\\Bin\\acc.ini";
    }
    // Reads into buffers of exactly 512 bytes full of 'X', on the heap so that a write past them is seen.
    bool Read(CZEP3DACCSecurity& reader, const std::string& path) {
        user_.assign(512, 'X');
        password_.assign(512, 'X');
        return reader.ReadAccount(path.c_str(), user_.data(), password_.data());
    }
    // The status of a new reader on `content` (or on the file at `path`); on failure both outputs must
    // be empty.
    int StatusOf(const std::string& content) { return StatusAt(Write(content)); }
    int StatusAt(const std::string& path) {
        CZEP3DACCSecurity reader;
        const bool ok = Read(reader, path);
        EXPECT_TRUE(ok || (user_[0] == 0 && password_[0] == 0));
        return ok ? 1000 : reader.GetStatus();
    }
    std::string User() const { return user_.data(); }
    std::string Password() const { return password_.data(); }

    zep::testing::ScopedTempDir dir_;
    std::vector<char> user_;
    std::vector<char> password_;
};

TEST_F(AccountTest, ReadsTheUserNameAndTheDecipheredPassword) {
    DebugOutputCapture debug;
    CZEP3DACCSecurity reader;
    ASSERT_TRUE(Read(reader, Write(AccountFile("runner", EncipherPassword("s3cret!")))));
    EXPECT_EQ(User() + "/" + Password(), "runner/s3cret!");

    // Names in any letter case, nothing trimmed; a password of one whole block, and one of eight blocks
    // (256 digits) behind the longest user name.
    const std::string block(16, 'p');
    ASSERT_TRUE(Read(reader, Write("[accsecurity]\r\nUSERNAME=Domain\\User \r\npassword=" +
                                   EncipherPassword(block) + "\r\n")));
    EXPECT_EQ(User(), "Domain\\User ");
    EXPECT_EQ(Password(), block);
    ASSERT_TRUE(Read(
        reader, Write(AccountFile(std::string(511, 'u'),
                                  EncipherPassword(std::string(128, 'q')) + "0"))));  // odd digit ignored
    EXPECT_EQ(User(), std::string(511, 'u'));
    EXPECT_EQ(Password(), std::string(128, 'q'));

    // A zero byte inside the first block ends the password there.
    ASSERT_TRUE(Read(reader, Write(AccountFile("u", EncipherPassword("abcde\0fghij"s)))));
    EXPECT_EQ(Password(), "abcde");

    // Files the password helper makes are read back whole.
    for (const std::string password : {"s", "exactly16chars!!", "a longer password of 3 blocks, #$\"'"}) {
        const std::string text = zep::toolkit::EncipherAccountPassword(password);
        EXPECT_EQ(text, EncipherPassword(password));
        ASSERT_TRUE(Read(reader, Write(zep::toolkit::AccountFileText("runner", text))));
        EXPECT_EQ(User() + "/" + Password(), "runner/" + password);
    }
    EXPECT_EQ(zep::toolkit::EncipherAccountPassword(""), "");
    EXPECT_EQ(reader.GetStatus(), 1000);
    EXPECT_TRUE(debug.Messages().empty());
}

TEST_F(AccountTest, StatusNamesTheFailingStep) {
    CZEP3DACCSecurity reader;
    EXPECT_FALSE(reader.ReadAccount(nullptr, nullptr, nullptr));
    EXPECT_EQ(reader.GetStatus(), 1001);
    EXPECT_EQ(StatusAt(""), 1001);
    EXPECT_EQ(StatusAt(dir_.File("missing\\acc.ini")), 1004);
    std::filesystem::create_directories(dir_.File("folder"));
    EXPECT_EQ(StatusAt(dir_.File("folder")), 1007);

    const std::string good = EncipherPassword("pw");
    EXPECT_EQ(StatusOf(""), 1007);
    EXPECT_EQ(StatusOf("; comments only\r\nno marker\r\n[unclosed\r\n"), 1007);
    // Key lines before any section make the section with the empty name: read, but no account.
    EXPECT_EQ(StatusOf("UserName=u\r\nPassword=" + good + "\r\n"), 1010);
    EXPECT_EQ(StatusOf("[Other]\r\nUserName=u\r\nPassword=" + good + "\r\n"), 1010);
    EXPECT_EQ(StatusOf(AccountFile("u", "")), 1010);
    EXPECT_EQ(StatusOf(AccountFile("", good)), 1010);
    EXPECT_EQ(StatusOf(AccountFile("u", EncipherPassword("\0rest"s))), 1010);
    DebugOutputCapture debug;
    // 30 digits are 15 bytes, not a whole block: the method refuses them and the text is empty.
    EXPECT_EQ(StatusOf(AccountFile("u", good.substr(0, 30))), 1010);
    EXPECT_EQ(debug.Messages(), Strings{"CZEP3DCryptRijndael::Decrypt()-Illegal Block Size!"});

    // Null output buffers are not written and count as empty.
    EXPECT_FALSE(reader.ReadAccount(Write(AccountFile("u", good)).c_str(), user_.data(), nullptr));
    EXPECT_EQ(reader.GetStatus(), 1010);
    EXPECT_EQ(user_[0], 0);
    // A later success keeps the status of the earlier failure.
    ASSERT_TRUE(Read(reader, Write(AccountFile("u", good))));
    EXPECT_EQ(reader.GetStatus(), 1010);
    EXPECT_EQ(Password(), "pw");
}

TEST_F(AccountTest, ValuesBeyondTheBuffersAreRefusedNeverCutAndAFailureWipesThePassword) {
    const std::string good = EncipherPassword("pw");
    EXPECT_EQ(StatusOf(AccountFile(std::string(512, 'u'), good)), 1010);
    EXPECT_EQ(StatusOf(AccountFile(std::string(5000, 'u'), good)), 1010);
    // 271 digits fit the decryption buffers (135 bytes, not whole blocks); 272 and more do not.
    const std::string nine = EncipherPassword(std::string(130, 'n'));  // 9 blocks, 288 digits
    EXPECT_EQ(StatusOf(AccountFile("u", nine.substr(0, 271))), 1010);
    EXPECT_EQ(StatusOf(AccountFile("u", nine.substr(0, 272))), 1009);
    EXPECT_EQ(StatusOf(AccountFile("u", nine)), 1009);
    EXPECT_EQ(StatusOf(AccountFile("u", std::string(512, 'A'))), 1009);
    // Only upper-case digits are deciphered; anything else would give a wrong password as if right.
    std::string lower = good;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    ASSERT_NE(lower, good);
    EXPECT_EQ(StatusOf(AccountFile("u", lower)), 1009);
    EXPECT_EQ(StatusOf(AccountFile("u", good.substr(0, 30) + " " + good.substr(31))), 1009);
    EXPECT_EQ(StatusOf(AccountFile("u", good + " ")), 1000);
    // The decryption step's status comes first, as for a user name that is merely empty.
    EXPECT_EQ(StatusOf(AccountFile(std::string(600, 'u'), nine)), 1009);

    // A failed read leaves no password in the caller's buffer: the bytes it took are zero, the rest
    // of the buffer is untouched.
    const std::string secret = "Correct-Horse-Battery";
    EXPECT_EQ(StatusOf(AccountFile("", EncipherPassword(secret))), 1010);
    const std::string seen(password_.begin(), password_.end());
    EXPECT_EQ(seen.substr(0, secret.size() + 1), std::string(secret.size() + 1, '\0'));
    EXPECT_EQ(seen[secret.size() + 1], 'X');
}

TEST_F(AccountTest, RunningOutOfMemoryAtAnyAllocationEndsInADesignedStatusOrLosesNothing) {
    const std::string path = Write(AccountFile("runner", EncipherPassword("pw")));
    CZEP3DACCSecurity first;
    ASSERT_TRUE(Read(first, path));  // the buffers are allocated before counting
    bool kitFailed = false;
    for (long n = 1;; ++n) {
        CZEP3DACCSecurity reader;
        DebugOutputCapture debug;
        bool ok = true, failed = false;
        {
            zep::toolkit::testing::FailNthAllocation fail(n);
            ok = Read(reader, path);
            failed = fail.Failed();
        }
        const int status = reader.GetStatus();
        if (ok || !failed) {
            // Losing the file's comment, or an index (lookups then scan), does not lose the account.
            EXPECT_TRUE(ok && status == 1000 && User() == "runner" && Password() == "pw") << n;
            if (!failed) break;
            continue;
        }
        EXPECT_TRUE(status == 1004 || status == 1007 || status == 1009 || status == 1010)
            << n << " " << status;
        EXPECT_TRUE(user_[0] == 0 && password_[0] == 0) << n;
        if (status == 1009) {
            EXPECT_EQ(debug.Messages(), Strings{"CZEP3DCryptKit::Create()-Create CryptMethod object error!"});
            kitFailed = true;
        }
    }
    EXPECT_TRUE(kitFailed);
}

}  // namespace
