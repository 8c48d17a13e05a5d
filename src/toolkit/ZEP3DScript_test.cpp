// Tests of the settings script store: the reading rules and their consequences, lookups, changes in
// memory, running out of memory in each change, and locales.
#include "toolkit/ZEP3DScript.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "AllocationFailure.h"
#include "TestUtil.h"
#ifndef _WIN32
#include "ScopedEnvironment.h"
#endif

namespace {

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

}  // namespace
