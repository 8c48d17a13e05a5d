#include "zep3d/ZEPFileIO.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <locale>
#include <string>

#include "CompanionFakes.h"
#include "TestUtil.h"

namespace {

using zep::testing::ScopedTempDir;
using zep::testing::SleepRecorder;
using zep::testing::StdoutCapture;

class FileIOTest : public ::testing::Test {
  protected:
    void SetUp() override { zep::fakes::Reset(); }
    ScopedTempDir dir_;
    SleepRecorder sleeps_;
};

TEST_F(FileIOTest, StdioOpenOfAnExistingFileSucceedsAtOnceAndRemovalWaitsFirst) {
    std::string path = dir_.File("in.txt");
    zep::testing::WriteFile(path, "x");
    CZEPFileIO io(7, 2);
    StdoutCapture out;
    FILE* fp = nullptr;
    EXPECT_EQ(io.OpenFile(fp, path.c_str(), "r", 500), 0);
    EXPECT_EQ(out.Stop(), "m_imyid= 7,succeeded in opening file:" + path + "\n");
    EXPECT_TRUE(sleeps_.Waits().empty());
    ASSERT_NE(fp, nullptr);

    StdoutCapture closing;
    EXPECT_EQ(io.CloseFile(fp, path.c_str()), 0);
    EXPECT_EQ(fp, nullptr);
    EXPECT_EQ(closing.Stop(), "m_imyid= 7,succeeded in closing file:" + path + "\n");
    EXPECT_EQ(io.CloseFile(fp, path.c_str()), 1);
    EXPECT_EQ(io.m_iStatus, 1);

    StdoutCapture removal;
    EXPECT_EQ(io.RemoveFile(path.c_str(), 100), 0);
    EXPECT_EQ(io.RemoveFile(path.c_str(), 100), -1);
    EXPECT_EQ(io.m_iStatus, -1);
    EXPECT_EQ(removal.Stop(), "iStatus= 0,succeeded in deleting file:" + path + "\n");
    EXPECT_EQ(sleeps_.Waits(), (std::vector<int>{100, 100}));
    EXPECT_FALSE(zep::testing::FileExists(path));
}

TEST_F(FileIOTest, StdioOpenOfAMissingFileMakesTwentyAttemptsWithTheirTraces) {
    std::string path = dir_.File("missing.txt");
    CZEPFileIO io(3, 2);
    StdoutCapture out;
    FILE* fp = nullptr;
    EXPECT_EQ(io.OpenFile(fp, path.c_str(), "r", 250), ENOENT);
    EXPECT_EQ(fp, nullptr);
    EXPECT_EQ(io.m_iStatus, ENOENT);
    EXPECT_EQ(sleeps_.Waits(), std::vector<int>(20, 250));

    const std::string text = zep::platform::SystemErrorText(ENOENT), no = std::to_string(ENOENT);
    std::string expected;
    for (int i = 0; i < 10; ++i)
        expected += "No such file or directory\nSystemError:" + no + " (" + text +
                    ")\nm_imyid = 3, Error message = " + text +
                    "\nm_imyid=3 , fopen_s() trying open file = " + path + "\n";
    expected += "m_imyid= 3,error=" + no + ",filename=" + path + "\n";
    for (int i = 0; i < 10; ++i) expected += "m_imyid=3 , fopen() trying open file = " + path + "\n";
    EXPECT_EQ(out.Stop(), expected);
}

TEST_F(FileIOTest, NothingIsWrittenBelowTraceLevelTwo) {
    std::string missing = dir_.File("missing.txt");
    std::string present = dir_.File("present.txt");
    zep::testing::WriteFile(present, "x");
    CZEPFileIO io(1, 1);
    StdoutCapture out;
    FILE* fp = nullptr;
    io.OpenFile(fp, missing.c_str(), "r", 10);
    io.OpenFile(fp, present.c_str(), "r", 10);
    io.CloseFile(fp, present.c_str());
    std::ifstream in;
    io.OpenFile(in, missing.c_str(), std::ios::in, 10);
    io.RemoveFile(present.c_str(), 10);
    io.RemoveFile(missing.c_str(), 10);
    EXPECT_EQ(out.Stop(), "");
    EXPECT_EQ(sleeps_.Waits().size(), 20u + 10u + 2u);
}

TEST_F(FileIOTest, StreamOpenRetriesTenTimesAndRefusesAnOpenStream) {
    std::string missing = dir_.File("missing.txt");
    CZEPFileIO io(0, 2);
    StdoutCapture refused;
    std::ifstream in;
    EXPECT_EQ(io.OpenFile(in, missing.c_str(), std::ios::in, 500), 1);
    std::string expected;
    for (int i = 0; i < 10; ++i) expected += "open " + missing + " error=1\n";
    EXPECT_EQ(refused.Stop(), expected);
    EXPECT_TRUE(in.fail());

    std::string written = dir_.path() + "\\out.txt";  // a path built with a backslash
    std::ofstream out;
    StdoutCapture opened;
    EXPECT_EQ(io.OpenFile(out, written.c_str(), std::ios::trunc, 500), 0);
    EXPECT_EQ(opened.Stop(), "m_imyid= 0,succeeded in opening file:" + written + "\n");
    out << 1.5 << "\n";
    StdoutCapture alreadyOpen;
    EXPECT_EQ(io.OpenFile(out, written.c_str(), std::ios::trunc, 500), 1);
    EXPECT_EQ(alreadyOpen.Stop(), "");
    EXPECT_EQ(sleeps_.Waits(), std::vector<int>(10, 500));  // the missing file's only
    out.close();
    EXPECT_EQ(zep::testing::ReadFile(zep::platform::MapPath(written.c_str())),
              zep::testing::AsTextFile("1.5\n"));
}

TEST_F(FileIOTest, StreamOpenLeavesTheClassicGlobalLocaleAndSurvivesAnUnknownLocaleName) {
    std::string path = dir_.File("a.txt");
    zep::testing::WriteFile(path, "1");
    std::locale before = std::locale::global(std::locale::classic());
    try {
        std::locale::global(std::locale("C.UTF-8"));
    } catch (const std::exception&) {
        // A system without that locale keeps the classic one; the check below still holds.
    }
    zep::fakes::ScriptLocaleName("no_SUCH.locale-name");
    CZEPFileIO io;
    std::ifstream in;
    EXPECT_EQ(io.OpenFile(in, path.c_str(), std::ios::in, 0), 0);
    EXPECT_EQ(std::locale().name(), "C");
    EXPECT_EQ(in.getloc().name(), "C");
    EXPECT_EQ(zep::fakes::CallsOf("CZEPLocale::GetSystemDefaultLocale").size(), 1u);
    std::locale::global(before);
}

TEST_F(FileIOTest, ErrorTableTexts) {
    CZEPFileIO io;
    StdoutCapture out;
    for (int code : {0, 2, 15, 38, 42, 80, 81, -1}) io.PrintErrnoMessage(code);
    EXPECT_EQ(out.Stop(),
              "No such file or directory\nUnknown errno_t\nFilename too long\nIllegal byte sequence\n"
              "String was truncated\nUnknown errno_t\nUnknown errno_t\n");
}

}  // namespace
