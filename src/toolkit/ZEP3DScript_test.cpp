// Tests of the settings script store: the reading rules and their consequences, lookups, changes in
// memory, and running out of memory in each change.
#include "toolkit/ZEP3DScript.h"

#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "AllocationFailure.h"
#include "TestUtil.h"

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
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].size() != name.size()) continue;
        bool same = true;
        for (size_t j = 0; j < name.size() && same; ++j) {
            same = std::tolower(static_cast<unsigned char>(names[i][j])) ==
                   std::tolower(static_cast<unsigned char>(name[j]));
        }
        if (same) return static_cast<int>(i);
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
    // Writes `content` as a file and reads it into store_; status_ starts at 77.
    bool Read(const std::string& content) {
        const std::string path = dir_.File("script" + std::to_string(files_++) + ".ini");
        zep::testing::WriteFile(path, content);
        return store_.ReadINIFile(path.c_str(), &status_);
    }
    std::string Value(const char* section, const char* key) {
        const char* value = store_.GetSectionContext(section, key, "<default>");
        return value != nullptr ? value : "<null>";
    }

    ScopedTempDir dir_;
    CZEP3DScript store_;
    int status_ = 77;
    int files_ = 0;
};

const char kWorkedExample[] =
    "; settings for the run\n"
    "[Sec]\n"
    " key = value \n"
    "a=b;c\n"
    "x;y=z\n"
    "[ Sec ]\n"
    "[a]b]\n"
    "[abc\n"
    "]x[\n"
    "\ttabbed=1\n"
    "[A]\n"
    "k=1\n"
    "[a]\n"
    "k=2\n"
    "m=3\n";

TEST_F(ScriptTest, WorkedExampleGivesFiveSectionsByteForByte) {
    DebugOutputCapture debug;
    ASSERT_TRUE(Read(kWorkedExample));
    EXPECT_EQ(status_, 0);
    EXPECT_EQ(debug.Messages(), Strings{kBinary});

    EXPECT_EQ(store_.HeaderComments(), Strings{" settings for the run"});
    EXPECT_EQ(store_.SectionNames(), (Strings{"Sec", " Sec ", "a]b", "A", "a"}));
    const auto& s = store_.Sections();
    EXPECT_EQ(s[0].m_vKey, (Strings{" key ", "a"}));
    EXPECT_EQ(s[0].m_vValue, (Strings{" value ", "b;c"}));
    EXPECT_EQ(s[0].m_vComment, Strings{"y=z"});
    for (size_t i : {1u, 2u, 4u}) {
        EXPECT_TRUE(s[i].m_vKey.empty() && s[i].m_vValue.empty() && s[i].m_vComment.empty()) << i;
    }
    EXPECT_EQ(s[3].m_vKey, (Strings{"k", "m"}));
    EXPECT_EQ(s[3].m_vValue, (Strings{"2", "3"}));
    EXPECT_TRUE(s[3].m_vComment.empty());

    EXPECT_EQ(Value("Sec", "key"), "<default>");
    EXPECT_EQ(Value("sec", " KEY "), " value ");
    EXPECT_EQ(Value("a", "k"), "2");
    EXPECT_EQ(Value("A]B", "k"), "<default>");
    EXPECT_EQ(store_.FindSection(" sec "), 1);
    EXPECT_EQ(store_.FindSection("abc"), -1);
}

TEST_F(ScriptTest, LineEndsAreReadAsWindowsTextModeGivesThem) {
    ASSERT_TRUE(
        Read("[ACCSecurity]\r\n"
             "UserName=runner\r\n"
             "crlf2=v\r\r\n"    // only the pair is the line end; the CR before it stays
             "lonecr=a\rb=c\n"  // a lone CR is an ordinary byte inside a line
             "tab=v\t\n"        // the line end goes, the tab before it stays
             "twotabs=v\t\t\n"  // one byte removed, not two
             "cr=v\r\n\n"       // CR LF then an empty line
             "tabend=v\t\r\n"   // CR LF counts as one line end, then the tab is not removed
             "last=v\t"));      // the last line without a line end loses its tab
    EXPECT_EQ(Value("accsecurity", "username"), "runner");
    EXPECT_EQ(Value("ACCSecurity", "crlf2"), "v\r");
    EXPECT_EQ(Value("ACCSecurity", "lonecr"), "a\rb=c");
    EXPECT_EQ(Value("ACCSecurity", "tab"), "v\t");
    EXPECT_EQ(Value("ACCSecurity", "twotabs"), "v\t\t");
    EXPECT_EQ(Value("ACCSecurity", "cr"), "v");
    EXPECT_EQ(Value("ACCSecurity", "tabend"), "v\t");
    EXPECT_EQ(Value("ACCSecurity", "last"), "v");
    EXPECT_EQ(store_.Sections()[0].m_vKey.size(), 8u);

    // A line end alone at the end of the file, and a file that ends in a lone CR.
    CZEP3DScript other;
    zep::testing::WriteFile(dir_.File("cr.ini"), "[s]\nk=v\r");
    ASSERT_TRUE(other.ReadINIFile(dir_.File("cr.ini").c_str(), &status_));
    EXPECT_STREQ(other.GetSectionContext("s", "k", nullptr), "v");
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

TEST_F(ScriptTest, ZeroBytesEndLinesAndUnprintableFirstBytesSkipThem) {
    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
    DebugOutputCapture debug;
    ASSERT_TRUE(
        Read("\x01;first\n[s]\nab=c\0d=e\nf=g\0\n\0x=y\n[t\0]\n\x7f"
             "a=1\n\x1b[t]\n\xff"
             "b=2\n\xc3\xa9=3\n c=4\n\x1a"s));
    // A line emptied by its zero byte is skipped silently; "[t" has no closing bracket left.
    EXPECT_EQ(debug.Messages(), Strings(6, kBinary));
    EXPECT_TRUE(store_.HeaderComments().empty());
    EXPECT_EQ(store_.SectionNames(), Strings{"s"});
    EXPECT_EQ(store_.Sections()[0].m_vKey, (Strings{"ab", "f", " c"}));
    EXPECT_EQ(store_.Sections()[0].m_vValue, (Strings{"c", "g", "4"}));
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
    zep::testing::WriteFile(dir_.File("c.ini"), ";c\n");
    EXPECT_TRUE(other.ReadINIFile(dir_.File("c.ini").c_str(), nullptr));
    EXPECT_TRUE(other.Sections()[0].m_vComment.empty() && other.HeaderComments().empty());
}

TEST_F(ScriptTest, SectionHeadersAndMarkersFollowTheFirstMarkerOfTheLine) {
    ASSERT_TRUE(
        Read("[]\ne=1\n"
             "[s] tail ; c\n"  // text after the last bracket is dropped
             "text [t]\n"      // and text before the bracket
             "a=[b]\n"         // "=" comes first: a key line
             "[k=v]\n#[not]\nx#y=1\n"
             "[T]\n;to T\n"
             "[t]\n;also to T\nz=2\n"));  // a repeated name: a new, empty section
    EXPECT_EQ(store_.SectionNames(), (Strings{"", "s", "t", "k=v", "T", "t"}));
    EXPECT_EQ(Value("", "e"), "1");
    EXPECT_EQ(Value("t", "a"), "[b]");
    EXPECT_EQ(store_.Sections()[3].m_vComment, (Strings{"[not]", "y=1"}));
    EXPECT_EQ(store_.Sections()[2].m_vComment, (Strings{"to T", "also to T"}));
    EXPECT_EQ(store_.Sections()[2].m_vKey, (Strings{"a", "z"}));
    EXPECT_TRUE(store_.Sections()[4].m_vKey.empty() && store_.Sections()[5].m_vKey.empty());
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

}  // namespace
