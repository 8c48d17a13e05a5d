#include "zep3d/ZEPTools.h"

#include <gtest/gtest.h>

#include "CompanionFakes.h"
#include "RunFolder.h"
#include "TestUtil.h"

namespace {

using zep::testing::MachineBlock;
using zep::testing::ReadFile;
using zep::testing::StdoutCapture;
using zep::testing::TaskBlock;

const char kCommandLine[] = "\"C:\\App\\*D:\\Work\\P*\"";
const std::string kMachine =
    MachineBlock({"PC01 4 C:\\App\\"}, {"1"},
                 "ValueShareFolderName=Work\nValueLocalHost=PC07\n"
                 "ValueParallelWorkingFolder=D:\\Work\nValueSharedTarvik3DName=App\n");

class ZEPToolsTest : public ::testing::Test {
  protected:
    void SetUp() override { zep::fakes::Reset(); }

    // SetCommand, or GetCommand when `get`, on the task-manager file `cmx`.
    int Run(const std::string& cmx, bool get = false) {
        run_.WriteCmx(cmx);
        const std::string dir = run_.projectDir();
        if (get)
            return tools_.GetCommand(0, kCommandLine, "C:\\App\\", dir.c_str(), "Part", "solver.exe", "01",
                                     0);
        return tools_.SetCommand(0, kCommandLine, "C:\\App\\", dir.c_str(), "Part", "solver.exe", "01", 0);
    }
    std::string Ppp() const { return ReadFile(run_.RunFile(".ppp")); }

    zep::testing::RunFolder run_;
    zep::testing::SleepRecorder sleeps_;
    CZEPTools tools_;
};

TEST_F(ZEPToolsTest, CommandsReportTheirStatusAndOnlySetCommandWritesTheRunFiles) {
    EXPECT_STREQ(tools_.GetCommandErrMsg(), "");  // before any command
    EXPECT_STREQ(tools_.GetHostIP(), "");
    zep::testing::WriteFile(run_.RunFile(".ppp"), "old ppp");
    EXPECT_EQ(tools_.SetCommand(0, kCommandLine, "C:\\App\\", run_.projectDir().c_str(), "Part", "solver.exe",
                                "01", 0),
              -3301);
    EXPECT_EQ(std::string(tools_.GetCommandErrMsg()),
              "Error! Cannot find the following cmx file:\n" + run_.RunFile(".cmx") +
                  "\nPlease check this and then rerun the analysis again\n");

    EXPECT_EQ(Run(TaskBlock(5, 4) + kMachine), -3307);
    EXPECT_NE(std::string(tools_.GetCommandErrMsg()), "");
    EXPECT_EQ(Run(TaskBlock(1, 4) + kMachine, true), 2);  // each command starts from a fresh handler
    EXPECT_STREQ(tools_.GetCommandErrMsg(), "");
    EXPECT_EQ(Run("nothing here\n"), 0);  // no task block: a serial run
    EXPECT_EQ(Ppp(), "old ppp");
    EXPECT_FALSE(zep::testing::FileExists(run_.RunFile(".pwf")));
    EXPECT_EQ(Run(TaskBlock(1, 4) + kMachine), 2);
    EXPECT_NE(Ppp(), "old ppp");

    StdoutCapture out;
    EXPECT_EQ(Run(TaskBlock(0, 4, "iDebug=2\n")), 1);
    EXPECT_NE(out.Stop(), "");
    StdoutCapture quiet;
    EXPECT_EQ(Run(TaskBlock(0, 4)), 1);
    EXPECT_EQ(quiet.Stop(), "");
}

TEST_F(ZEPToolsTest, HostAddressOfSingleAndMultiMachineRuns) {
    EXPECT_EQ(Run(TaskBlock(12, 4) + kMachine, true), 1);
    StdoutCapture silent;
    EXPECT_STREQ(tools_.GetHostIP(), "127.0.0.1");
    EXPECT_EQ(silent.Stop(), "");
    StdoutCapture ignored;
    EXPECT_EQ(Run(TaskBlock(1, 4, "iDebug=2\n") + kMachine, true), 2);
    ignored.Stop();
    StdoutCapture out;
    EXPECT_STREQ(tools_.GetHostIP(), "PC07");
    EXPECT_EQ(out.Stop(), "\n======In CommandHandler::GetHostIP======\n     Host IP Name=[PC07]\n\n");
}

TEST_F(ZEPToolsTest, FileOperationsKeepTheirIdUntilCloseOrRemove) {
    const std::string path = run_.temp().File("data.txt");
    const std::string missing = run_.temp().File("missing.txt");
    zep::testing::WriteFile(path, "x");
    EXPECT_EQ(tools_.SetFileIO(5, 2), 0);
    EXPECT_EQ(tools_.SetFileIO(6, 0), 0);
    FILE* fp = nullptr;
    for (const std::string& trace : {"m_imyid= 5,succeeded in opening file:" + path +
                                         "\nm_imyid= 5,succeeded in closing file:" + path + "\n",
                                     std::string()}) {
        StdoutCapture out;
        EXPECT_EQ(tools_.OpenFile(fp, path.c_str(), "r", 10), 0);
        EXPECT_EQ(tools_.CloseFile(fp, path.c_str()), 0);
        EXPECT_EQ(out.Stop(), trace);
    }
    EXPECT_EQ(tools_.CloseFile(fp, path.c_str()), 1);
    EXPECT_EQ(tools_.OpenFile(fp, missing.c_str(), "r", 0), 2);
    EXPECT_EQ(tools_.SetFileIO(1, 2), 2);  // a failed open leaves its status for the next SetFileIO

    std::ifstream in;
    EXPECT_EQ(tools_.OpenFile(in, path.c_str(), std::ios::in, 0), 0);
    EXPECT_EQ(tools_.CloseFile(in, path.c_str()), 1);
    EXPECT_FALSE(in.is_open());
    EXPECT_EQ(tools_.CloseFile(in, path.c_str()), 1);
    std::ofstream out;
    EXPECT_EQ(tools_.OpenFile(out, missing.c_str(), std::ios::trunc, 0), 0);
    EXPECT_EQ(tools_.CloseFile(out, missing.c_str()), 1);
    EXPECT_EQ(tools_.SetFileIO(3, 2), 0);
    StdoutCapture removal;
    EXPECT_EQ(tools_.RemoveFile(missing.c_str(), 0), 0);
    EXPECT_EQ(tools_.RemoveFile(missing.c_str(), 0), -1);
    EXPECT_EQ(removal.Stop(), "iStatus= 0,succeeded in deleting file:" + missing + "\n");
}

}  // namespace
