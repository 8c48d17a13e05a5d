#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "CompanionFakes.h"
#include "RunFolder.h"
#include "TestUtil.h"
#include "tools/CommandHandler.h"

namespace {

using zep::testing::AsTextFile;
using zep::testing::MachineBlock;
using zep::testing::ReadFile;
using zep::testing::RunFolder;
using zep::testing::SleepRecorder;
using zep::testing::StdoutCapture;
using zep::testing::TaskBlock;

const std::string kNotUnderWorkingFolder =
    ReadFile(zep::testing::DataPath("tools/not-under-working-folder.txt"));

const char kCommandLine[] = "\"C:\\App\\*D:\\Work\\Proj\\Analysis\\Run01*\"";
const char kShareKeys[] =
    "ValueShareFolderName=Work\nValueLocalHost=PC01\nValueParallelWorkingFolder=D:\\Work\n"
    "ValueSharedTarvik3DName=App\n";

class ParallelRunFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        zep::fakes::Reset();
        zep::fakes::ScriptConfigurationString(L"-wdir X");
    }

    // Reads `cmx` and writes the run files with the given command line, selector and path mapping.
    int Write(const std::string& cmx, const std::string& commandLine = kCommandLine, int command = 0,
              int noPathMapping = 0) {
        run_.WriteCmx(cmx);
        handler_.reset(new CommandHandler(0));
        handler_->m_iNoPathMapping = noPathMapping;
        handler_->SetCommandArguments(command, commandLine.c_str(), "C:\\App\\", run_.projectDir().c_str(),
                                      "Part", "solver.exe", "01");
        {
            StdoutCapture readTrace;
            handler_->ReadCMX4TaskManager();
        }
        return handler_->WriteParallelFile();
    }

    std::string Ppp() const { return ReadFile(run_.RunFile(".ppp")); }
    std::string Pwf() const { return ReadFile(run_.RunFile(".pwf")); }

    RunFolder run_;
    std::unique_ptr<CommandHandler> handler_;
    SleepRecorder sleeps_;
};

TEST_F(ParallelRunFiles, SingleMachineRunWritesThePartitionCountOnlyAndSerialRunsNothing) {
    zep::testing::WriteFile(run_.RunFile(".ppp"), "old ppp");
    zep::testing::WriteFile(run_.RunFile(".pwf"), "old pwf");
    EXPECT_EQ(Write(TaskBlock(0, 1)), 0);
    EXPECT_EQ(Write(TaskBlock(5, 4) + MachineBlock({"PC01 4 C:\\App\\"}, {"1"})), -3307);
    EXPECT_EQ(Ppp(), "old ppp");
    EXPECT_EQ(Pwf(), "old pwf");
    EXPECT_TRUE(sleeps_.Waits().empty());

    EXPECT_EQ(Write(TaskBlock(0, 4)), 0);
    EXPECT_EQ(handler_->m_iStatus, 1);
    EXPECT_EQ(Ppp(), AsTextFile("#NPartition\n4\n#ParallelMode_IS_SMP\n"));
    EXPECT_TRUE(zep::testing::FileExists(run_.RunFile(".pwf")));
    EXPECT_EQ(Pwf(), "");
    EXPECT_EQ(handler_->m_sCommandLine, kCommandLine);
    // The old files are removed after a pause of 100 ms each.
    EXPECT_EQ(sleeps_.Waits(), (std::vector<int>{100, 100}));
}

TEST_F(ParallelRunFiles, WindowsMachinesGetUncPathsAndTheQuotedProgramOfTheLastMachine) {
    EXPECT_EQ(Write(TaskBlock(1, 6) + MachineBlock({"PC01 4 \\\\PC01\\App\\", "PC02\t2 \\\\PC01\\App\\"},
                                                   {"1.0", "0.5"}, kShareKeys)),
              2);
    const std::string rewritten = "\"\\\\PC01\\App\\*\\\\PC01\\Work\\Proj\\Analysis\\Run01*\"";
    EXPECT_EQ(handler_->m_sCommandLine, rewritten);
    EXPECT_EQ(Ppp(), AsTextFile(ReadFile(zep::testing::DataPath("tools/windows-machines.ppp"))));
    EXPECT_EQ(Pwf(),
              "-wdir X -noprompt -hosts 2 PC01 4  PC02 2 \"\\\\PC01\\App\\\\bin\\solver.exe\" " + rewritten);
    EXPECT_EQ(zep::fakes::CallsOf("CZEPMPITool::GetIntelMPIConfigurationStringForMpiexec").at(0).args,
              std::vector<std::string>{run_.runPath()});

    // The weight line holds the weights of every machine block.
    EXPECT_EQ(Write(TaskBlock(1, 2) + MachineBlock({"PC01 2 C:\\App\\"}, {"1"}, kShareKeys) +
                    MachineBlock({"PC02 2 C:\\App\\"}, {"0.5"}, kShareKeys)),
              2);
    EXPECT_EQ(Ppp().substr(Ppp().find("#ParaWeightFactor")),
              AsTextFile("#ParaWeightFactor  0.5 0.5 0 0.25 0.25\n"));
}

TEST_F(ParallelRunFiles, EmptyWorkingFolderChangesOnlyTheDriveLetter) {
    const std::string keys = "ValueShareFolderName=Work\nValueLocalHost=PC01\nValueSharedTarvik3DName=App\n";
    zep::fakes::ScriptConfigurationString(L"");
    EXPECT_EQ(Write(TaskBlock(1, 1) + MachineBlock({"PC01 1 C:\\App\\"}, {"1"}, keys),
                    "\"C:\\App\\*D:\\Work\\P*\""),
              2);
    EXPECT_EQ(handler_->m_sCommandLine, "\"C:\\App\\*\\\\PC01\\Work\\Work\\P*\"");
    EXPECT_EQ(
        Pwf(),
        " -noprompt -hosts 1 PC01 1 \"C:\\App\\\\bin\\solver.exe\" \"C:\\App\\*\\\\PC01\\Work\\Work\\P*\"");
    // Six significant digits, as the stream writes them.
    EXPECT_EQ(Write(TaskBlock(1, 3) + MachineBlock({"PC01 3 C:\\App\\"}, {"1"}, keys),
                    "\"C:\\App\\*D:\\Work\\P*\""),
              2);
    EXPECT_NE(Ppp().find("#ParaWeightFactor  0.333333 0.333333 0.333333"), std::string::npos);
}

TEST_F(ParallelRunFiles, PathMappingOffLeavesTheProjectPartAndSelectorThreeStartsAtTheFirstQuote) {
    const std::string cmx = TaskBlock(1, 2) + MachineBlock({"PC01 2 C:\\App\\"}, {"1"}, kShareKeys);
    EXPECT_EQ(Write(cmx, "\"C:\\App\\*E:\\Other\\P*\"", 0, 1), 2);
    EXPECT_EQ(handler_->m_sCommandLine, "\"\\\\PC01\\App\\*E:\\Other\\P*\"");

    EXPECT_EQ(Write(cmx, "\"C:\\App\\*E:\\Other\\P*\"", 0, 0), -3306);
    EXPECT_EQ(handler_->m_sErrMsg, kNotUnderWorkingFolder);
    EXPECT_EQ(Ppp(), AsTextFile("#NPartition\n2\nhosts\n"));
    EXPECT_EQ(Pwf(), "-wdir X -noprompt -hosts 1");

    EXPECT_EQ(Write(cmx, "-x \"C:\\App\\*D:\\Work\\P*\" -y", 3), 2);
    EXPECT_EQ(handler_->m_sCommandLine, "-x \"\\\\PC01\\App\\*\\\\PC01\\Work\\P*\" -y");
    EXPECT_EQ(Write(cmx, "-x \"C:\\App\\*D:\\Work\\P*\" -y", 0), 2);
    EXPECT_EQ(handler_->m_sCommandLine, "-\\\\PC01\\App\\*\\\\PC01\\Work\\P*\" -y");
}

TEST_F(ParallelRunFiles, LinuxNodeGetsItsMachineFileArgumentsAndNodePaths) {
    const std::string keys =
        "ValueShareFolderName=Work\nValueLocalHost=PC01\nValueParallelWorkingFolder=D:\\Work\n"
        "ValueSharedTarvik3DName=/opt/T\n";
    zep::fakes::ScriptConfigurationString(L"-env A $B $C ");
    EXPECT_EQ(Write(TaskBlock(11, 3) + MachineBlock({"alpha 2 /opt/T/", "beta 1 /opt/T/"}, {"1", "1"}, keys)),
              2);
    const std::string linuxRun = run_.linuxProjectDir() + "/Analysis/Run01";
    const std::string rewritten = "\"/opt/T*" + run_.linuxProjectDir() + "*\"";
    EXPECT_EQ(handler_->m_sCommandLine, rewritten);
    const std::string pwf = "-env A $B $C -machinefile \"" + linuxRun +
                            "/machines.txt\" -n 3  \"/opt/T/solver.exe\" " + rewritten;
    EXPECT_EQ(Pwf(), pwf);
    EXPECT_EQ(handler_->m_sLinMPIArgument, "-env A \\$B $C -machinefile \"" + linuxRun +
                                               "/machines.txt\" -n 3  \"/opt/T/solver.exe\" " + rewritten);
    EXPECT_EQ(Ppp(),
              AsTextFile("#NPartition\n3\nalpha 2 /opt/T/solver.exe " + rewritten +
                         "\nbeta 1 /opt/T/solver.exe " + rewritten + "\n#ParaWeightFactor  0.5 0.5 1\n"));

    // Without a working folder the drive letter becomes the Linux share.
    const std::string noFolder = "ValueShareFolderName=Work\nValueSharedTarvik3DName=/opt/T\n";
    EXPECT_EQ(Write(TaskBlock(11, 1) + MachineBlock({"alpha 1 /opt/T/"}, {"1"}, noFolder),
                    "\"C:\\A\\*D:\\Work\\P*\""),
              2);
    EXPECT_EQ(handler_->m_sCommandLine, "\"C:\\A\\*/Work/Part\\Work\\P*\"");
}

TEST_F(ParallelRunFiles, CommandLinesAndEntriesThatCannotBeCutAreRefused) {
    const std::string cmx = TaskBlock(1, 1) + MachineBlock({"PC01 1 C:\\App\\"}, {"1"}, kShareKeys);
    const std::string noFolder =
        TaskBlock(1, 1) + MachineBlock({"PC01 1 C:\\App\\"}, {"1"},
                                       "ValueShareFolderName=Work\nValueLocalHost=PC01\n"
                                       "ValueSharedTarvik3DName=App\n");
    const struct {
        std::string cmx;
        const char* commandLine;
        int command;
    } cases[] = {
        {cmx, "\"C:\\App\\*E:\\P*D:\\Work\"", 0},  // the working folder must stand between the markers
        {cmx, "\"C:\\App\\solver\"", 0},
        {cmx, "*D:\\Work*", 0},
        {cmx, "\"C:\\App\\*D:\\Work\\P", 0},
        {cmx, "*\"C:\\App\\*D:\\Work\\P*", 3},
        {noFolder, "\"C:\\A\\*P*\"", 0},
        // An entry that has no space before the installation's share name.
        {TaskBlock(1, 1) + MachineBlock({"App 1"}, {"1"}, kShareKeys), kCommandLine, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine);
        EXPECT_EQ(Write(c.cmx, c.commandLine, c.command), -3306);
        EXPECT_EQ(handler_->m_sErrMsg, kNotUnderWorkingFolder);
    }
}

TEST_F(ParallelRunFiles, RunFilesThatCannotBeCreatedAreReported) {
    // A folder with a file in it stands where the run file should be (removal cannot take it away); the
    // other file has been created, empty.
    for (const auto& [blocked, other, status] :
         {std::tuple(".ppp", ".pwf", -3304), std::tuple(".pwf", ".ppp", -3305)}) {
        std::filesystem::create_directory(run_.RunFile(blocked));
        zep::testing::WriteFile(run_.RunFile(blocked) + "/keep", "x");
        EXPECT_EQ(Write(TaskBlock(0, 2)), status);
        EXPECT_EQ(handler_->m_sErrMsg, "\nError! Cannot not create " + run_.RunFile(blocked) +
                                           " to initiate parallel computing.\n");
        EXPECT_EQ(ReadFile(run_.RunFile(other)), "");
        EXPECT_TRUE(zep::testing::FileExists(run_.RunFile(other)));
        std::filesystem::remove_all(run_.RunFile(blocked));
        std::filesystem::remove(run_.RunFile(other));
    }
}

TEST_F(ParallelRunFiles, TracesAtLevelTwo) {
    const std::string cmx =
        TaskBlock(1, 1, "iDebug=2\n") + MachineBlock({"PC01 1 C:\\App\\"}, {"1"}, kShareKeys);
    StdoutCapture out;
    EXPECT_EQ(Write(cmx), 2);
    EXPECT_EQ(out.Stop(), ReadFile(zep::testing::DataPath("tools/write-trace.txt")));
}

}  // namespace
