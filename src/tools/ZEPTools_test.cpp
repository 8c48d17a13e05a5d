// Tests of the exported façade: commands, their status and message, the host address, and the
// solver's own file operations.
#include "zep3d/ZEPTools.h"

#include <gtest/gtest.h>

#include "CompanionFakes.h"
#include "RunFolder.h"
#include "TestUtil.h"

namespace {

using zep::testing::MachineBlock;
using zep::testing::ReadFile;
using zep::testing::RunFolder;
using zep::testing::SleepRecorder;
using zep::testing::StdoutCapture;
using zep::testing::TaskBlock;

const char kCommandLine[] = "\"C:\\App\\*D:\\Work\\P*\"";
const char kKeys[] =
    "ValueShareFolderName=Work\nValueLocalHost=PC07\nValueParallelWorkingFolder=D:\\Work\n"
    "ValueSharedTarvik3DName=App\n";

class ZEPToolsTest : public ::testing::Test {
  protected:
    void SetUp() override { zep::fakes::Reset(); }

    int Set(CZEPTools& tools, int debugLevel = 0) {
        return tools.SetCommand(0, kCommandLine, "C:\\App\\", run_.projectDir().c_str(), "Part", "solver.exe",
                                "01", debugLevel);
    }
    int Get(CZEPTools& tools, int debugLevel = 0) {
        return tools.GetCommand(0, kCommandLine, "C:\\App\\", run_.projectDir().c_str(), "Part", "solver.exe",
                                "01", debugLevel);
    }

    RunFolder run_;
    SleepRecorder sleeps_;
};

TEST_F(ZEPToolsTest, MissingTaskManagerFileIsReportedAndNoRunFileIsTouched) {
    zep::testing::WriteFile(run_.RunFile(".ppp"), "keep");
    CZEPTools tools;
    EXPECT_STREQ(tools.GetCommandErrMsg(), "");  // before any command
    EXPECT_STREQ(tools.GetHostIP(), "");
    EXPECT_EQ(Set(tools), -3301);
    EXPECT_EQ(std::string(tools.GetCommandErrMsg()),
              "Error! Cannot find the following cmx file:\n" + run_.RunFile(".cmx") +
                  "\nPlease check this and then rerun the analysis again\n");
    EXPECT_EQ(ReadFile(run_.RunFile(".ppp")), "keep");
    EXPECT_FALSE(zep::testing::FileExists(run_.RunFile(".pwf")));
}

TEST_F(ZEPToolsTest, GetCommandReadsButWritesNothing) {
    zep::testing::WriteFile(run_.RunFile(".ppp"), "old ppp");
    zep::testing::WriteFile(run_.RunFile(".pwf"), "old pwf");
    run_.WriteCmx(TaskBlock(1, 2) + MachineBlock({"PC01 2 C:\\App\\"}, {"1"}, kKeys));
    CZEPTools tools;
    EXPECT_EQ(Get(tools), 2);
    EXPECT_EQ(ReadFile(run_.RunFile(".ppp")), "old ppp");
    EXPECT_EQ(ReadFile(run_.RunFile(".pwf")), "old pwf");
    EXPECT_STREQ(tools.GetCommandErrMsg(), "");
    EXPECT_EQ(Set(tools), 2);
    EXPECT_NE(ReadFile(run_.RunFile(".ppp")), "old ppp");

    // Without a task block the run is serial and no file is written.
    run_.WriteCmx("nothing here\n");
    zep::testing::WriteFile(run_.RunFile(".ppp"), "old ppp");
    EXPECT_EQ(Set(tools), 0);
    EXPECT_EQ(ReadFile(run_.RunFile(".ppp")), "old ppp");
}

TEST_F(ZEPToolsTest, EachCommandStartsFromAFreshHandler) {
    CZEPTools tools;
    run_.WriteCmx(TaskBlock(5, 4) + MachineBlock({"PC01 4 C:\\App\\"}, {"1"}));
    EXPECT_EQ(Set(tools), -3307);
    EXPECT_NE(std::string(tools.GetCommandErrMsg()), "");

    run_.WriteCmx(TaskBlock(0, 4, "iDebug=2\n"));
    {
        StdoutCapture out;
        EXPECT_EQ(Set(tools), 1);
        EXPECT_NE(out.Stop(), "");
    }
    EXPECT_STREQ(tools.GetCommandErrMsg(), "");
    run_.WriteCmx(TaskBlock(0, 4));
    StdoutCapture quiet;
    EXPECT_EQ(Set(tools), 1);
    EXPECT_EQ(quiet.Stop(), "");
}

TEST_F(ZEPToolsTest, HostAddressOfSingleAndMultiMachineRuns) {
    CZEPTools tools;
    run_.WriteCmx(TaskBlock(12, 4) + MachineBlock({"PC01 4 C:\\App\\"}, {"1"}, kKeys));
    EXPECT_EQ(Get(tools), 1);
    StdoutCapture silent;
    EXPECT_STREQ(tools.GetHostIP(), "127.0.0.1");
    EXPECT_EQ(silent.Stop(), "");

    run_.WriteCmx(TaskBlock(1, 4, "iDebug=2\n") + MachineBlock({"PC01 4 C:\\App\\"}, {"1"}, kKeys));
    {
        StdoutCapture ignored;
        EXPECT_EQ(Get(tools), 2);
    }
    StdoutCapture out;
    EXPECT_STREQ(tools.GetHostIP(), "PC07");
    EXPECT_EQ(out.Stop(), "\n======In CommandHandler::GetHostIP======\n     Host IP Name=[PC07]\n\n");
}

TEST_F(ZEPToolsTest, FileOperationsKeepTheirIdUntilCloseOrRemove) {
    const std::string path = run_.temp().File("data.txt");
    zep::testing::WriteFile(path, "x");
    CZEPTools tools;
    EXPECT_EQ(tools.SetFileIO(5, 2), 0);
    EXPECT_EQ(tools.SetFileIO(6, 0), 0);
    FILE* fp = nullptr;
    {
        StdoutCapture out;
        EXPECT_EQ(tools.OpenFile(fp, path.c_str(), "r", 10), 0);
        EXPECT_EQ(tools.CloseFile(fp, path.c_str()), 0);
        EXPECT_EQ(out.Stop(), "m_imyid= 5,succeeded in opening file:" + path +
                                  "\nm_imyid= 5,succeeded in closing file:" + path + "\n");
    }
    {
        StdoutCapture out;
        EXPECT_EQ(tools.OpenFile(fp, path.c_str(), "r", 10), 0);
        EXPECT_EQ(tools.CloseFile(fp, path.c_str()), 0);
        EXPECT_EQ(out.Stop(), "");
    }
    EXPECT_EQ(tools.CloseFile(fp, path.c_str()), 1);

    // A failed open leaves its status for the next SetFileIO.
    const std::string missing = run_.temp().File("missing.txt");
    EXPECT_EQ(tools.OpenFile(fp, missing.c_str(), "r", 0), 2);
    EXPECT_EQ(tools.SetFileIO(1, 2), 2);

    std::ifstream in;
    EXPECT_EQ(tools.OpenFile(in, path.c_str(), std::ios::in, 0), 0);
    EXPECT_EQ(tools.CloseFile(in, path.c_str()), 1);
    EXPECT_FALSE(in.is_open());
    EXPECT_EQ(tools.CloseFile(in, path.c_str()), 1);
    std::ofstream out;
    EXPECT_EQ(tools.OpenFile(out, missing.c_str(), std::ios::trunc, 0), 0);
    EXPECT_EQ(tools.CloseFile(out, missing.c_str()), 1);
    EXPECT_EQ(tools.SetFileIO(3, 2), 0);
    StdoutCapture removal;
    EXPECT_EQ(tools.RemoveFile(missing.c_str(), 0), 0);
    EXPECT_EQ(tools.RemoveFile(missing.c_str(), 0), -1);
    EXPECT_EQ(removal.Stop(), "iStatus= 0,succeeded in deleting file:" + missing + "\n");
}

}  // namespace
