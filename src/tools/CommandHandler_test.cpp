#include "tools/CommandHandler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "CompanionFakes.h"
#include "RunFolder.h"
#include "TestUtil.h"
#include "zep3d/ZEPTools.h"

namespace {

using zep::testing::AsTextFile;
using zep::testing::MachineBlock;
using zep::testing::ReadFile;
using zep::testing::RunFolder;
using zep::testing::SleepRecorder;
using zep::testing::StdoutCapture;
using zep::testing::TaskBlock;

const char kShortCommandLine[] = "\"C:\\App\\*D:\\Work\\P*\"";

TEST(CommandHandler, ArgumentsGiveTheRunPaths) {
    CommandHandler h(1);
    EXPECT_EQ((std::vector<long>{h.m_pFileIO->m_iDebug, h.m_pFileIO->m_imyid, h.m_iStatus, h.m_nproc,
                                 h.m_iMinPort, h.m_iMaxPort, h.m_lJobID}),
              (std::vector<long>{1, 0, 0, -1, 10000, 11000, -1}));

    h.SetCommandArguments(3, "cmd", "C:\\Zep\\", "D:\\Work\\ProjA", "Part", "solver.exe", "01");
    EXPECT_EQ(h.m_iCommand, 3);
    std::string paths;
    for (const std::string& s :
         {h.m_sWinRunPath, h.m_sWinRunFile, h.m_sCMXName, h.m_sPPPName, h.m_sPWFName, h.m_sMPIName,
          h.m_sExeFullPath, h.m_sAccIniPath, h.m_sLinProjectDir, h.m_sLinRunPath, h.m_sLinRunFile,
          h.m_sBaseName, h.m_sExeName, h.m_sInstallDir, h.m_sCommandLine})
        paths += s + "\n";
    EXPECT_EQ(paths, zep::testing::ReadFile(zep::testing::DataPath("tools/run-paths.txt")));
}

TEST(CommandHandler, LinuxProjectFolderStartsAtTheWorkingFolder) {
    CommandHandler handler(0);
    const struct {
        const char* project;
        const char* node;
    } cases[] = {
        {"\\\\srv\\ZEP_WorkingFolder\\A\\B", "/ZEP_WorkingFolder/A/B"},
        {"\\\\server\\ZEP_WorkingFolder\\ProjA", "/ZEP_WorkingFolder/ProjA"},
        {"Proj", "/ZEP_WorkingFolder/Proj"},
        {"", "/ZEP_WorkingFolder/"},
        {"/mnt/x/ZEP_WorkingFolder/ZEP_WorkingFolder/p", "/ZEP_WorkingFolder/ZEP_WorkingFolder/p"},
        {"/zep_workingfolder/p", "/ZEP_WorkingFolder/zep_workingfolder/p"},
    };
    for (const auto& c : cases) {
        handler.SetLinuxProjectDir(c.project);
        EXPECT_EQ(handler.m_sLinProjectDir, c.node) << c.project;
    }
    handler.SetCommandArguments(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(handler.m_sCMXName, "/Analysis/Run/.cmx");
    EXPECT_EQ(handler.m_sLinRunPath, "/ZEP_WorkingFolder//Analysis/Run");
}

// The expected trace `name` of the test data, with the marks "<cmx>", "<run>" and "<linux-run>"
// replaced by the paths of `run`.
std::string GoldenTrace(const std::string& name, const RunFolder& run) {
    std::string text = zep::testing::ReadFile(zep::testing::DataPath("tools/" + name));
    const std::pair<std::string, std::string> marks[] = {
        {"<cmx>", run.RunFile(".cmx")},
        {"<run>", run.runPath()},
        {"<linux-run>", run.linuxProjectDir() + "/Analysis/Run01"}};
    for (const auto& [mark, path] : marks) {
        for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + path.size()))
            text.replace(at, mark.size(), path);
    }
    return text;
}

class TaskManagerReader : public ::testing::Test {
  protected:
    void SetUp() override { zep::fakes::Reset(); }

    // Reads `cmx` through a handler made with the trace level; the handler stays for inspection.
    int Read(const std::string& cmx, int debugLevel = 0, const std::string& commandLine = kShortCommandLine,
             int command = 0, int noPathMapping = 0) {
        run_.WriteCmx(cmx);
        handler_.reset(new CommandHandler(debugLevel));
        handler_->m_iNoPathMapping = noPathMapping;
        handler_->SetCommandArguments(command, commandLine.c_str(), "C:\\App\\", run_.projectDir().c_str(),
                                      "Part", "solver.exe", "01");
        return handler_->ReadCMX4TaskManager();
    }

    RunFolder run_;
    std::unique_ptr<CommandHandler> handler_;
};

TEST_F(TaskManagerReader, StatusFollowsTaskModeAndTaskCount) {
    const struct {
        int mode, tasks, status;
        bool smp;
    } cases[] = {{0, 4, 1, true},   {0, 1, 0, true},  {12, 8, 1, true},    {12, 1, 0, true},
                 {1, 1, 2, false},  {1, 4, 2, false}, {11, 1, 2, false},   {13, 4, 2, false},
                 {13, 1, 0, false}, {5, 1, 0, false}, {5, 4, -3307, false}};
    const std::string machines = MachineBlock({"PC01 1 C:\\App\\"}, {"1.0"});
    for (const auto& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + ", tasks " + std::to_string(c.tasks));
        EXPECT_EQ(Read(TaskBlock(c.mode, c.tasks) + machines), c.status);
        EXPECT_EQ(handler_->m_bIsSMP, c.smp);
        EXPECT_EQ(handler_->m_iTaskMode, c.mode);
        EXPECT_TRUE(c.status < 0 || handler_->m_sErrMsg.empty()) << handler_->m_sErrMsg;
        EXPECT_TRUE(!c.smp || handler_->m_vMachines == std::vector<std::string>{""});
    }
    Read(TaskBlock(5, 4) + machines);
    EXPECT_EQ(handler_->m_sErrMsg,
              "Symptom:\nWrong Computing mode number setting in CMX.\n\nSolution:\n"
              "1. Please check the IDTaskMode in .cmx file \n");

    EXPECT_EQ(Read("some text\nno blocks at all\n"), 0);
    EXPECT_EQ(handler_->m_iTaskMode, -1);
    EXPECT_EQ(handler_->m_nproc, -1);
}

TEST_F(TaskManagerReader, BadFilesAreRefusedWithTheirStatusAndMessage) {
    // Each refused file of the test data: "=== <status> <name>", the file, "---", the message. The last
    // one runs the weight list past its bound, however the machines of a later block look.
    const std::string data = zep::testing::ReadFile(zep::testing::DataPath("tools/refused-cmx.txt"));
    int rows = 0;
    for (size_t at = 0; at < data.size(); ++rows) {
        const size_t head = data.find('\n', at), rule = data.find("\n---\n", head);
        const size_t next = std::min(data.find("\n=== ", rule), data.size() - 1) + 1;
        SCOPED_TRACE(data.substr(at, head - at));
        EXPECT_EQ(Read(data.substr(head + 1, rule - head)), std::stoi(data.substr(at + 4)));
        EXPECT_EQ(handler_->m_sErrMsg, data.substr(rule + 5, next - rule - 5));
        at = next;
    }
    EXPECT_EQ(rows, 15);
    EXPECT_EQ(handler_->m_vWeightFactor.size(), CommandHandler::kMaxWeightFactors);
    const std::string task = TaskBlock(1, 4);
    EXPECT_EQ(Read(task + MachineBlock({"PC01 5 C:\\App\\"}, {"1"})), -3303);
    EXPECT_TRUE(handler_->m_ppTaskHostName.empty());

    // Just inside the bounds.
    EXPECT_EQ(Read(task + MachineBlock({"PC01 4 C:\\App\\"}, {"1"}, "", 1003)), 2);
    const std::string host255(255, 'h');
    EXPECT_EQ(Read(task + MachineBlock({host255 + " 2 C:\\App\\"}, {"1"})), 2);
    EXPECT_EQ(handler_->m_ppTaskHostName[1], host255);
    EXPECT_EQ(Read(TaskBlock(0, CommandHandler::kMaxTasks)), 1);
    EXPECT_EQ(handler_->m_ppTaskHostName.size(), static_cast<size_t>(CommandHandler::kMaxTasks));
}

TEST_F(TaskManagerReader, WeightsAreSharedOutOverEachMachinesTasks) {
    EXPECT_EQ(Read(TaskBlock(1, 4) + MachineBlock({"PC01 4 C:\\App\\"}, {"1.0"})), 2);
    EXPECT_EQ(handler_->m_vWeightFactor, (std::vector<double>{0.0, 0.25, 0.25, 0.25, 0.25}));

    EXPECT_EQ(Read(TaskBlock(1, 6) + MachineBlock({"PC01 4 C:\\App\\", "PC02 2 C:\\App\\"}, {"1.0", "0.5"})),
              2);
    EXPECT_EQ(handler_->m_vWeightFactor, std::vector<double>({0.0, 0.25, 0.25, 0.25, 0.25, 0.25, 0.25}));
    EXPECT_EQ(handler_->m_nMachine, 2);
    EXPECT_EQ(handler_->m_vMachines, (std::vector<std::string>{"", "PC01 4 C:\\App\\", "PC02 2 C:\\App\\"}));
    EXPECT_EQ(handler_->m_ppTaskHostName,
              (std::vector<std::string>{"PC01", "PC01", "PC01", "PC01", "PC02", "PC02"}));
    EXPECT_EQ(handler_->m_sBinFolderName, "C:\\App\\\\Bin");
    EXPECT_EQ(handler_->m_sLinMPIName, "C:\\App\\MPICH/mpiexec");
    EXPECT_EQ(handler_->m_sLinExeFullPath, "C:\\App\\solver.exe");

    // Empty lines between machine and weight lines do not count.
    std::string spaced = TaskBlock(13, 5) +
                         "<REMOTE_MACHINES>\nVersion=1003\nValueNoMachine=2\nValueMachineSetting\n\n1=A 2 "
                         "F\\\n\n2=B\t3\tF\\\nValueMachineWeighting\n\n1=2\n\n2=3\n</REMOTE_MACHINES>\n";
    EXPECT_EQ(Read(spaced), 2);
    EXPECT_EQ(handler_->m_ppTaskHostName, (std::vector<std::string>{"A", "A", "B", "B", "B"}));
    EXPECT_EQ(handler_->m_vWeightFactor, (std::vector<double>{0.0, 1.0, 1.0, 1.0, 1.0, 1.0}));

    // After a block the reading goes on: a later block reads its machines again and appends a 0.0 and
    // its own weights to those of the blocks before it.
    const std::string first = MachineBlock({"PC01 2 C:\\App\\"}, {"1"});
    const std::string second = MachineBlock({"PC02 2 C:\\App\\"}, {"0.5"});
    EXPECT_EQ(Read(TaskBlock(1, 2) + first + second), 2);
    EXPECT_EQ(handler_->m_vWeightFactor, (std::vector<double>{0.0, 0.5, 0.5, 0.0, 0.25, 0.25}));
    EXPECT_EQ(handler_->m_vMachines, (std::vector<std::string>{"", "PC02 2 C:\\App\\"}));
    EXPECT_EQ(Read(TaskBlock(1, 2) + first + second + MachineBlock({"PC03 1 C:\\App\\"}, {"2"})), 2);
    EXPECT_EQ(handler_->m_vWeightFactor, (std::vector<double>{0.0, 0.5, 0.5, 0.0, 0.25, 0.25, 0.0, 2.0}));
}

TEST_F(TaskManagerReader, KeyValuesFollowTheirKindsWhateverTheLineEnds) {
    const std::string keys =
        "ValueShareFolderName= My Share \nValueMap= Z: extra\nValueLocalHost=\tPC01 x\n"
        "ValueParallelWorkingFolder=D:\\Work\nValueSharedTarvik3DName=App\nValueMinPort=20000\n"
        "ValueMaxPort=abc\n";
    auto values = [this]() {
        return std::vector<std::string>{
            handler_->m_sSharedDriveName,        handler_->m_sMapDrive,
            handler_->m_sLocalHostName,          handler_->m_sParallelWorkingFolderName,
            handler_->m_sSharedTarvik3DName,     std::to_string(handler_->m_iMinPort),
            std::to_string(handler_->m_iMaxPort)};
    };
    EXPECT_EQ(Read(TaskBlock(1, 2) + MachineBlock({"PC01 2 C:\\App\\"}, {"1"}, keys)), 2);
    EXPECT_EQ(values(),
              (std::vector<std::string>{"My Share ", "Z:", "PC01", "D:\\Work", "App", "20000", "11000"}));

    // A value of spaces keeps them; a word or integer without text leaves the field; the text after
    // the last "=" is the value.
    const std::string odd = "ValueShareFolderName=   \nValueMap=  \nValueMinPort=\nValueLocalHost=a=b\n";
    EXPECT_EQ(Read(TaskBlock(1, 2) + MachineBlock({"PC01 2 C:\\App\\"}, {"1"}, odd)), 2);
    EXPECT_EQ(values(), (std::vector<std::string>{"   ", "", "b", "", "", "10000", "11000"}));

    EXPECT_EQ(Read(TaskBlock(0, 4, "ValueConsoleRedirection=1\n")), 1);
    EXPECT_TRUE(handler_->m_bConsoleRedirection);
    EXPECT_EQ(Read(TaskBlock(0, 4, "ValueConsoleRedirection=2\n")), 1);
    EXPECT_FALSE(handler_->m_bConsoleRedirection);
    EXPECT_EQ(handler_->m_iConsoleRedirection, 2);

    const std::string lf =
        TaskBlock(1, 2) + MachineBlock({"PC01 2 C:\\App\\"}, {"0.5"}, "ValueLocalHost=PC01\n");
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(Read(crlf), 2);
    EXPECT_EQ(handler_->m_vMachines[1], "PC01 2 C:\\App\\");
    EXPECT_EQ(handler_->m_sLocalHostName, "PC01");
    EXPECT_EQ(handler_->m_vWeightFactor, (std::vector<double>{0.0, 0.25, 0.25}));
    EXPECT_EQ(handler_->m_ppTaskHostName, (std::vector<std::string>{"PC01", "PC01"}));
}

TEST_F(TaskManagerReader, OverlongOrBinaryInputIsReadWithoutHarm) {
    EXPECT_EQ(Read("<TASKMANAGER>\nIDTaskMode=0\nValueNoTask=" + std::string(1 << 21, '7') + "\n"), -3301);
    const char binary[] = "\0\x01\xff<TASKMANAGER>\0\nIDTaskMode=0\nValueNoTask=3\0x\n";
    EXPECT_EQ(Read(std::string(binary, sizeof(binary) - 1)), 1);
    EXPECT_EQ(handler_->m_nproc, 3);
    EXPECT_EQ(Read("<TASKMANAGER>\nIDTaskMode=1\nValueNoTask=-7\n"), 2);
    EXPECT_TRUE(handler_->m_ppTaskHostName.empty());
}

TEST_F(TaskManagerReader, TracesAtLevelTwoAndStaysSilentBelow) {
    const std::string cmx =
        TaskBlock(1, 2) + MachineBlock({"PC01 1 C:\\App\\", "PC02 1 C:\\App\\"}, {"1", "0.5"},
                                       "ValueMap=Z:\nValueShareFolderName=Work\nValueLocalHost=PC01\n"
                                       "ValueParallelWorkingFolder=D:\\Work\n");
    StdoutCapture quiet;
    Read(cmx, 1);
    EXPECT_EQ(quiet.Stop(), "");
    StdoutCapture out;
    EXPECT_EQ(Read(cmx, 2), 2);
    EXPECT_EQ(out.Stop(), GoldenTrace("read-trace.txt", run_));
}

TEST_F(TaskManagerReader, DebugKeyTurnsTracesOnAndLinuxModeDerivesTheNodePaths) {
    StdoutCapture out;
    EXPECT_EQ(Read(TaskBlock(11, 1, "iDebug=3\n") +
                       MachineBlock({"node1 1 /n/"}, {"1"}, "ValueSharedTarvik3DName=/opt/T\n"),
                   1),
              2);
    EXPECT_EQ(handler_->m_iDebug, 3);
    EXPECT_EQ(handler_->m_pFileIO->m_iDebug, 1);
    EXPECT_EQ(out.Stop(), GoldenTrace("read-trace-linux.txt", run_));
    EXPECT_EQ(handler_->m_sLinZep3DHomeDir, "/opt/T");
    EXPECT_EQ(handler_->m_sLinMPIName, "/opt/T/MPICH/mpiexec");
    EXPECT_EQ(handler_->m_sLinExeFullPath, "/opt/T/solver.exe");
    EXPECT_EQ(handler_->m_sBinFolderName, "/n/\\Bin");

    // An unreadable debug value sets level 0.
    StdoutCapture quiet;
    Read(TaskBlock(1, 1, "iDebug=x\n") + MachineBlock({"PC01 1 C:\\App\\"}, {"1"}), 2);
    EXPECT_EQ(handler_->m_iDebug, 0);
    EXPECT_EQ(quiet.Stop().find("ReadCMX4TaskManager"), std::string::npos);
}

const std::string kNotUnderWorkingFolder =
    ReadFile(zep::testing::DataPath("tools/not-under-working-folder.txt"));

const char kCommandLine[] = "\"C:\\App\\*D:\\Work\\Proj\\Analysis\\Run01*\"";
const char kShareKeys[] =
    "ValueShareFolderName=Work\nValueLocalHost=PC01\nValueParallelWorkingFolder=D:\\Work\n"
    "ValueSharedTarvik3DName=App\n";

class ParallelRunFiles : public TaskManagerReader {
  protected:
    void SetUp() override {
        TaskManagerReader::SetUp();
        zep::fakes::ScriptConfigurationString(L"-wdir X");
    }

    // Reads `cmx` and writes the run files with the given command line, selector and path mapping.
    int Write(const std::string& cmx, const std::string& commandLine = kCommandLine, int command = 0,
              int noPathMapping = 0) {
        {
            StdoutCapture readTrace;
            Read(cmx, 0, commandLine, command, noPathMapping);
        }
        return handler_->WriteParallelFile();
    }

    std::string Ppp() const { return ReadFile(run_.RunFile(".ppp")); }
    std::string Pwf() const { return ReadFile(run_.RunFile(".pwf")); }

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
    EXPECT_EQ(Write(TaskBlock(1, 1) + MachineBlock({"PC01 1 C:\\App\\"}, {"1"}, keys), kShortCommandLine), 2);
    EXPECT_EQ(handler_->m_sCommandLine, "\"C:\\App\\*\\\\PC01\\Work\\Work\\P*\"");
    EXPECT_EQ(
        Pwf(),
        " -noprompt -hosts 1 PC01 1 \"C:\\App\\\\bin\\solver.exe\" \"C:\\App\\*\\\\PC01\\Work\\Work\\P*\"");
    // Six significant digits, as the stream writes them.
    EXPECT_EQ(Write(TaskBlock(1, 3) + MachineBlock({"PC01 3 C:\\App\\"}, {"1"}, keys), kShortCommandLine), 2);
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

const std::string kMachine =
    MachineBlock({"PC01 4 C:\\App\\"}, {"1"},
                 "ValueShareFolderName=Work\nValueLocalHost=PC07\n"
                 "ValueParallelWorkingFolder=D:\\Work\nValueSharedTarvik3DName=App\n");

class ZEPToolsTest : public ::testing::Test {
  protected:
    void SetUp() override { zep::fakes::Reset(); }

    int Run(const std::string& cmx, bool get = false) {
        run_.WriteCmx(cmx);
        const std::string dir = run_.projectDir();
        if (get)
            return tools_.GetCommand(0, kShortCommandLine, "C:\\App\\", dir.c_str(), "Part", "solver.exe",
                                     "01", 0);
        return tools_.SetCommand(0, kShortCommandLine, "C:\\App\\", dir.c_str(), "Part", "solver.exe", "01",
                                 0);
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
    EXPECT_EQ(tools_.SetCommand(0, kShortCommandLine, "C:\\App\\", run_.projectDir().c_str(), "Part",
                                "solver.exe", "01", 0),
              -3301);
    EXPECT_EQ(std::string(tools_.GetCommandErrMsg()),
              "Error! Cannot find the following cmx file:\n" + run_.RunFile(".cmx") +
                  "\nPlease check this and then rerun the analysis again\n");
    EXPECT_EQ(sleeps_.Waits(), std::vector<int>(10, 500));  // the task-manager file's retries

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
