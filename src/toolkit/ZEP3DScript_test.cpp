// Tests of the settings script store (the reading rules and their consequences, lookups, changes in
// memory, running out of memory in each change, and locales) and of the account reader on it: real
// account files with passwords enciphered by the library's own Rijndael method or made by the password
// helper, every status, the buffer limits, and what is left in the caller's buffers.
#include "toolkit/ZEP3DScript.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "AllocationFailure.h"
#include "KnownAnswers.h"
#include "TestUtil.h"
#include "toolkit/AccountPassword.h"
#include "toolkit/ZEP3DACCSecurity.h"
#ifndef _WIN32
#include "ScopedEnvironment.h"
#endif

namespace {

using zep::filecrypt::testing::Apply;
using zep::filecrypt::testing::MakeMethod;
using zep::filecrypt::testing::ToHex;
using zep::testing::DebugOutputCapture;
using zep::testing::ScopedTempDir;
using ZEP3DToolKit::CZEP3DScript;
using Strings = std::vector<std::string>;
using namespace std::string_literals;

const char kBinary[] = "CZEP3DScript::ReadINIFile()-The Script file is binary format!";
const char kCannotOpen[] = "CZEP3DScript::ReadINIFile()-Couldn't open script file!";

// The first of `names` equal to `name` after tolower on every byte, as a plain scan does it.
int LinearFind(const Strings& names, const std::string& name) {
    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    for (size_t i = 0; i < names.size(); ++i) {
        if (lower(names[i]) == lower(name)) return static_cast<int>(i);
    }
    return -1;
}

// Lists of the same length, and lookups that find what a scan of the lists finds.
void ExpectConsistent(CZEP3DScript& store, const Strings& probes) {
    ASSERT_EQ(store.SectionNames().size(), store.Sections().size());
    for (const auto& section : store.Sections()) ASSERT_EQ(section.m_vKey.size(), section.m_vValue.size());
    for (const std::string& name : probes) {
        const int i = LinearFind(store.SectionNames(), name);
        EXPECT_EQ(store.FindSection(name.c_str()), i) << name;
        if (i == -1) continue;
        for (const std::string& key : probes) {
            EXPECT_EQ(store.FindSectionContext(i, key.c_str()),
                      LinearFind(store.Sections()[static_cast<size_t>(i)].m_vKey, key))
                << name << "/" << key;
        }
    }
}

class ScriptTest : public ::testing::Test {
  protected:
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
    std::string File(const std::string& content) {
        const std::string path = dir_.File("script" + std::to_string(files_++) + ".ini");
        zep::testing::WriteFile(path, content);
        return path;
    }
    // Writes `content` as a file and reads it into store_; status_ starts at 77.
    bool Read(const std::string& content) { return store_.ReadINIFile(File(content).c_str(), &status_); }
    std::string Value(const char* section, const char* key) {
        const char* value = store_.GetSectionContext(section, key, "<default>");
        return value != nullptr ? value : "<null>";
    }

    ScopedTempDir dir_;
    CZEP3DScript store_;
    int status_ = 77;
    int files_ = 0;
};

// The store as text: header comments, then every section with its keys and comments; bytes outside
// printable ASCII, and the backslash, as \xNN.
std::string Dump(CZEP3DScript& store) {
    auto escape = [](const std::string& text) {
        std::string out;
        for (unsigned char c : text) {
            char hex[8];
            std::snprintf(hex, sizeof(hex), "\\x%02X", c);
            out +=
                c < 0x20 || c >= 0x7F || c == '\\' ? std::string(hex) : std::string(1, static_cast<char>(c));
        }
        return out;
    };
    std::string text;
    for (const std::string& comment : store.HeaderComments()) text += ";" + escape(comment) + "\n";
    for (size_t i = 0; i < store.SectionNames().size() && i < store.Sections().size(); ++i) {
        const auto& section = store.Sections()[i];
        text += "[" + escape(store.SectionNames()[i]) + "]\n";
        for (size_t k = 0; k < section.m_vKey.size() && k < section.m_vValue.size(); ++k)
            text += escape(section.m_vKey[k]) + "=" + escape(section.m_vValue[k]) + "\n";
        for (const std::string& comment : section.m_vComment) text += ";" + escape(comment) + "\n";
    }
    return text;
}

TEST_F(ScriptTest, FilesReadIntoTheExpectedStoreByteForByte) {
    // The worked example; line ends as Windows text mode gives them (only CR LF is one, a lone CR is an
    // ordinary byte, one tab before the line end goes); zero bytes ending lines and unprintable first bytes
    // skipping them; section headers and the first marker of a line.
    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
    const struct {
        const char* name;
        size_t binaryMessages;
    } files[] = {
        {"worked-example", 1}, {"line-ends", 0}, {"lone-cr-at-end", 0}, {"zero-bytes", 6}, {"headers", 0}};
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        const std::string path = zep::testing::DataPath(std::string("script/") + file.name);
        CZEP3DScript store;
        int status = 77;
        DebugOutputCapture debug;
        ASSERT_TRUE(store.ReadINIFile((path + ".ini").c_str(), &status));
        EXPECT_EQ(status, 0);
        EXPECT_EQ(debug.Messages(), Strings(file.binaryMessages, kBinary));
        EXPECT_EQ(Dump(store), zep::testing::ReadFile(path + ".txt"));
        ExpectConsistent(store, {"sec", " sec ", "a", "k", "t", "accsecurity", "tab", "s", "ab"});
    }
}

TEST_F(ScriptTest, LongLinesAreReadInPiecesOf2047Bytes) {
    const std::string v2045(2045, 'v');
    std::string file = "[s]\n";
    file += "k=" + v2045 + "X=Y\n";                     // piece 1: k=vvv (2047 bytes); piece 2: X=Y
    file += "p=" + std::string(2044, 'w') + "\r\n";     // 2046 bytes and CR LF: one piece
    file += "q=" + std::string(2045, 'u') + "\r\n";     // 2047 bytes, then a piece with the line end
    file += "r=" + std::string(2044, 'z') + "\rT=U\n";  // the lone CR is byte 2047, T=U the next piece
    file += std::string(5000, '#') + "\n";              // a long comment: three pieces of comments
    file += "n=" + std::string(100000, 'n') + "\n";
    DebugOutputCapture debug;
    ASSERT_TRUE(Read(file));
    EXPECT_EQ(Value("s", "k"), v2045);
    EXPECT_EQ(Value("s", "X"), "Y");
    EXPECT_EQ(Value("s", "p"), std::string(2044, 'w'));
    EXPECT_EQ(Value("s", "q"), std::string(2045, 'u'));
    EXPECT_EQ(Value("s", "r"), std::string(2044, 'z'));  // its CR was the piece's last byte
    EXPECT_EQ(Value("s", "T"), "U");
    EXPECT_EQ(Value("s", "n"), std::string(2045, 'n'));
    // 5000 markers: pieces of 2047, 2047 and 906 bytes, each a comment of what follows its first marker.
    EXPECT_EQ(store_.Sections()[0].m_vComment,
              (Strings{std::string(2046, '#'), std::string(2046, '#'), std::string(905, '#')}));
    // The rest of the long key line comes in pieces of "nnn…" without a marker: ignored.
    EXPECT_EQ(store_.Sections()[0].m_vKey, (Strings{"k", "X", "p", "q", "r", "T", "n"}));
    EXPECT_TRUE(debug.Messages().empty());
}

TEST_F(ScriptTest, ResultAndStatusFollowWhatTheStoreHolds) {
    DebugOutputCapture debug;
    EXPECT_FALSE(store_.ReadINIFile(dir_.File("missing.ini").c_str(), &status_));
    EXPECT_EQ(status_, -1);
    EXPECT_FALSE(store_.ReadINIFile(nullptr, nullptr));
    EXPECT_EQ(debug.Messages(), Strings(2, kCannotOpen));

    status_ = 77;
    EXPECT_FALSE(Read(""));
    EXPECT_FALSE(Read("; one\n#two\nno marker here\n[unclosed\n\n"));
    EXPECT_EQ(status_, 77);
    EXPECT_EQ(store_.HeaderComments(), (Strings{" one", "two"}));
    EXPECT_TRUE(store_.SectionNames().empty());

    // Key lines before any header land in the section with the empty name, and comments after them.
    EXPECT_TRUE(Read("k=v\n;note\n"));
    EXPECT_EQ(status_, 0);
    EXPECT_EQ(store_.SectionNames(), Strings{""});
    EXPECT_EQ(Value("", "K"), "v");
    // The store is not emptied: a second file adds to it, and succeeds without a section of its own.
    status_ = 77;
    EXPECT_TRUE(Read(";late\n[b]\n;in b\n"));
    EXPECT_EQ(status_, 0);
    EXPECT_EQ(store_.Sections()[0].m_vComment, (Strings{"note", "late"}));
    EXPECT_EQ(store_.Sections()[1].m_vComment, Strings{"in b"});
    EXPECT_EQ(store_.HeaderComments(), (Strings{" one", "two"}));
    // Comments before any header of a later file go to the section named "", and with none, nowhere.
    CZEP3DScript other;
    other.AddSection("x");
    EXPECT_TRUE(other.ReadINIFile(File(";c\n").c_str(), nullptr));
    EXPECT_TRUE(other.Sections()[0].m_vComment.empty() && other.HeaderComments().empty());
}

TEST_F(ScriptTest, LookupsIgnoreCaseTakeTheFirstMatchAndGiveTheDefaultUnchanged) {
    ASSERT_TRUE(
        Read("[ACCSECURITY]\nusername=runner\nPassWord=ABCD\nUSERNAME=second\nempty=\n"
             "[AccSecurity]\nUserName=third\n"));
    EXPECT_EQ(Value("ACCSecurity", "UserName"), "third");  // one key, its value replaced twice
    EXPECT_EQ(store_.Sections()[0].m_vKey, (Strings{"username", "PassWord", "empty"}));
    EXPECT_EQ(Value("accsecurity", "PASSWORD"), "ABCD");
    EXPECT_EQ(store_.FindSection("AcCsEcUrItY"), 0);
    EXPECT_EQ(store_.FindSection("ACCSecurity "), -1);

    const char* fallback = "fallback";
    EXPECT_EQ(store_.GetSectionContext("ACCSecurity", "missing", fallback), fallback);
    EXPECT_EQ(store_.GetSectionContext("missing", "empty", fallback), fallback);
    EXPECT_EQ(store_.GetSectionContext("ACCSecurity", "missing", nullptr), nullptr);
    EXPECT_STREQ(store_.GetSectionContext("ACCSecurity", "empty", fallback), "");
    EXPECT_EQ(store_.FindSectionContext(-1, "empty"), -1);
    EXPECT_EQ(store_.FindSectionContext(2, "empty"), -1);
    EXPECT_EQ(store_.FindSectionContext(1, ""), -1);
    CZEP3DScript empty;
    EXPECT_EQ(empty.FindSectionContext(0, "k"), -1);
    EXPECT_EQ(empty.GetSectionContext(nullptr, nullptr, fallback), fallback);
}

TEST_F(ScriptTest, ChangesCreateOnlyWhenAskedAndEraseEmptiesForReuse) {
    EXPECT_FALSE(store_.AddSectionContext("s", "k", "v", false));
    EXPECT_TRUE(store_.SectionNames().empty());
    EXPECT_TRUE(store_.AddSectionContext("s", "k", "v", true));
    EXPECT_FALSE(store_.AddSectionContext("S", "other", "v", false));
    EXPECT_TRUE(store_.AddSectionContext("S", "K", "w", false));  // an existing key keeps its spelling
    EXPECT_EQ(store_.Sections()[0].m_vKey, Strings{"k"});
    EXPECT_EQ(store_.Sections()[0].m_vValue, Strings{"w"});

    EXPECT_EQ(store_.AddSection("s"), 1);
    EXPECT_EQ(store_.AddSection(nullptr), 2);
    EXPECT_EQ(store_.FindSection(""), 2);
    EXPECT_FALSE(store_.AddSectionComment(-1, "c"));
    EXPECT_FALSE(store_.AddSectionComment(3, "c"));
    EXPECT_TRUE(store_.AddSectionComment(1, "c"));
    EXPECT_EQ(store_.Sections()[1].m_vComment, Strings{"c"});

    EXPECT_TRUE(store_.Erase());
    EXPECT_TRUE(store_.SectionNames().empty() && store_.Sections().empty());
    EXPECT_EQ(store_.FindSection("s"), -1);
    EXPECT_TRUE(store_.AddSectionContext("s", "k", "again", true));
    EXPECT_EQ(Value("S", "K"), "again");
}

TEST_F(ScriptTest, RandomChangesAndReadsAgreeWithAScanOfTheLists) {
    // Few letters in both cases, so that names collide often; a large store checks that the indexes
    // keep first-match answers as they grow.
    std::mt19937 random(11);
    auto name = [&random]() {
        std::string text(random() % 3, ' ');
        for (char& c : text) c = "aAbB_"[random() % 5];
        return text;
    };
    Strings probes;
    for (int i = 0; i < 60; ++i) probes.push_back(name());
    for (int op = 0; op < 20000; ++op) {
        const std::string section = name();
        const std::string key = name() + std::to_string(random() % 50);
        switch (random() % 4) {
            case 0:
                store_.AddSection(section.c_str());
                break;
            case 1:
            case 2: {
                const int i = LinearFind(store_.SectionNames(), section);
                const bool create = random() % 2 == 0;
                const bool existed =
                    i != -1 && LinearFind(store_.Sections()[static_cast<size_t>(i)].m_vKey, key) != -1;
                EXPECT_EQ(store_.AddSectionContext(section.c_str(), key.c_str(), "v", create),
                          create || existed);
                break;
            }
            default:
                if (random() % 100 == 0) {
                    std::string text;
                    for (int line = 0; line < 50; ++line) {
                        text += random() % 3 == 0 ? "[" + name() + "]\n" : name() + "1=" + name() + "\n";
                    }
                    Read(text);
                }
                break;
        }
    }
    Strings keys = probes;
    for (int k = 0; k < 50; ++k) keys.push_back(probes[static_cast<size_t>(k)] + std::to_string(k));
    ExpectConsistent(store_, keys);
}

TEST_F(ScriptTest, RunningOutOfMemoryIsReportedByTheChangeAndKeepsTheListsPaired) {
    CZEP3DScript store;
    store.AddSectionContext("s", "k", "v", true);
    auto failFirst = [](const std::function<bool()>& change) {
        zep::toolkit::testing::FailNthAllocation fail(1);
        return change();
    };
    DebugOutputCapture debug;
    EXPECT_FALSE(failFirst([&] { return store.AddHeaderComment("a long header comment, not inline"); }));
    EXPECT_FALSE(failFirst([&] { return store.AddSectionComment(0, "a long section comment, not inline"); }));
    EXPECT_FALSE(failFirst([&] { return store.AddSection("a long section name, not stored inline") != 0; }));
    EXPECT_FALSE(failFirst([&] { return store.AddSectionContext("s", "new key", "v", true); }));
    EXPECT_FALSE(failFirst(
        [&] { return store.AddSectionContext("s", "k", "a long value, not stored inline", true); }));
    // A section that cannot be made takes no key: in an empty store there is no section 0 either.
    CZEP3DScript empty;
    EXPECT_FALSE(failFirst([&] { return empty.AddSectionContext("new", "k", "v", true); }));
    EXPECT_TRUE(empty.SectionNames().empty());
    EXPECT_EQ(debug.Messages(), (Strings{"CZEP3DScript::AddHeaderComment()-Error occurs!",
                                         "CZEP3DScript::AddSectionComment()-Error occurs!",
                                         "CZEP3DScript::AddSection()-Error occurs!",
                                         "CZEP3DScript::AddSectionContext()-Error occurs!",
                                         "CZEP3DScript::AddSectionContext()-Error occurs!",
                                         "CZEP3DScript::AddSection()-Error occurs!"}));
    EXPECT_TRUE(store.HeaderComments().empty() && store.Sections()[0].m_vComment.empty());
    EXPECT_EQ(store.SectionNames(), Strings{"s"});
    EXPECT_EQ(store.Sections()[0].m_vKey, Strings{"k"});
    EXPECT_STREQ(store.GetSectionContext("s", "k", nullptr), "v");
    ExpectConsistent(store, {"s", "k", "new key"});
}

#ifndef _WIN32
// Under POSIX locales: the printable test of multibyte first bytes, and lookups after the locale's
// lower-casing has changed.
TEST_F(ScriptTest, MultibyteFirstCharacterIsTestedAsAWideCharacterOnlyInAMultibyteLocale) {
    const std::string path = File("[s]\n\xc3\xa9=acute\n\xc3(=broken\n\xa9=tail\n\xe2\x82\xac=euro\nk=1\n");
    {
        ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
        CZEP3DScript store;
        DebugOutputCapture debug;
        ASSERT_TRUE(store.ReadINIFile(path.c_str(), nullptr));
        EXPECT_EQ(debug.Messages(), Strings(4, kBinary));  // every byte from 0x80 up is unprintable in "C"
        EXPECT_EQ(store.Sections()[0].m_vKey, Strings{"k"});
    }
    if (std::setlocale(LC_ALL, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale on this system";
    CZEP3DScript store;
    DebugOutputCapture debug;
    ASSERT_TRUE(store.ReadINIFile(path.c_str(), nullptr));
    // "é" and "€" decode and are printable; a broken sequence and a lone continuation byte are not.
    EXPECT_EQ(debug.Messages(), Strings(2, kBinary));
    EXPECT_EQ(store.Sections()[0].m_vKey, (Strings{"\xc3\xa9", "\xe2\x82\xac", "k"}));
    EXPECT_STREQ(store.GetSectionContext("s", "\xc3\xa9", nullptr), "acute");
    // Lower-casing works byte by byte: the capital "É" (C3 89) is another name.
    EXPECT_EQ(store.GetSectionContext("S", "\xc3\x89", nullptr), nullptr);
}

TEST_F(ScriptTest, LookupsFollowTheLowerCasingOfTheLocaleInForceAtTheLookup) {
    // A single-byte locale in which capital letters from 0xC0 up have small forms.
    const std::string locales = dir_.File("locales");
    const std::string command =
        "localedef -i en_US -f ISO-8859-1 " + locales + "/en_US.ISO-8859-1 >/dev/null 2>&1";
    if (std::system(("mkdir -p " + locales).c_str()) != 0 || std::system(command.c_str()) != 0) {
        GTEST_SKIP() << "localedef cannot build an ISO-8859-1 locale here";
    }
    zep::testing::ScopedEnvironment environment;
    environment.Set("LOCPATH", locales);
    const std::string path = File("[\xc9T\xc9]\nK\xc9Y=upper\nk\xe9y=lower\n[\xe9t\xe9]\nk=2\n");

    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    CZEP3DScript store;
    DebugOutputCapture debug;
    ASSERT_TRUE(store.ReadINIFile(path.c_str(), nullptr));
    EXPECT_EQ(store.Sections()[0].m_vKey, (Strings{"K\xc9Y", "k\xe9y"}));  // two names in "C"
    EXPECT_EQ(store.FindSection("\xe9t\xe9"), 1);

    if (std::setlocale(LC_ALL, "en_US.ISO-8859-1") == nullptr) GTEST_SKIP() << "the locale does not load";
    EXPECT_EQ(store.FindSection("\xe9t\xe9"), 0);  // the first section now has the same name
    EXPECT_EQ(store.FindSection("\xc9t\xe9"), 0);
    EXPECT_STREQ(store.GetSectionContext("\xe9T\xe9", "k\xe9Y", nullptr), "upper");
    EXPECT_EQ(store.FindSectionContext(0, "K\xc9y"), 0);
    EXPECT_TRUE(store.AddSectionContext("\xe9t\xe9", "K\xe9Y", "set", false));
    EXPECT_EQ(store.Sections()[0].m_vValue, (Strings{"set", "lower"}));
    // Comments and keys read in this locale go to the first section of the folded name.
    const std::string more = File("[\xe9t\xe9]\n;note\nnew=1\n");
    ASSERT_TRUE(store.ReadINIFile(more.c_str(), nullptr));
    EXPECT_EQ(store.Sections()[0].m_vComment, Strings{"note"});
    EXPECT_EQ(store.FindSectionContext(0, "NEW"), 2);

    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(store.FindSection("\xe9t\xe9"), 1);
    EXPECT_EQ(store.FindSectionContext(0, "k\xe9y"), 1);
    EXPECT_TRUE(debug.Messages().empty());
}
#endif

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
