// Tests of the script store under POSIX locales: the printable test of multibyte first bytes, and
// lookups after the locale's lower-casing has changed.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "toolkit/ZEP3DScript.h"

namespace {

using zep::testing::DebugOutputCapture;
using zep::testing::ScopedTempDir;
using ZEP3DToolKit::CZEP3DScript;
using Strings = std::vector<std::string>;

const char kBinary[] = "CZEP3DScript::ReadINIFile()-The Script file is binary format!";

class ScriptLocaleTest : public ::testing::Test {
  protected:
    void TearDown() override {
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
    }
    std::string File(const std::string& content) {
        const std::string path = dir_.File("f" + std::to_string(files_++) + ".ini");
        zep::testing::WriteFile(path, content);
        return path;
    }
    ScopedTempDir dir_;
    int files_ = 0;
};

TEST_F(ScriptLocaleTest, MultibyteFirstCharacterIsTestedAsAWideCharacterOnlyInAMultibyteLocale) {
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

TEST_F(ScriptLocaleTest, LookupsFollowTheLowerCasingOfTheLocaleInForceAtTheLookup) {
    // A single-byte locale in which capital letters from 0xC0 up have small forms.
    const std::string locales = dir_.File("locales");
    const std::string command =
        "localedef -i en_US -f ISO-8859-1 " + locales + "/en_US.ISO-8859-1 >/dev/null 2>&1";
    if (std::system(("mkdir -p " + locales).c_str()) != 0 || std::system(command.c_str()) != 0) {
        GTEST_SKIP() << "localedef cannot build an ISO-8859-1 locale here";
    }
    setenv("LOCPATH", locales.c_str(), 1);
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

}  // namespace
