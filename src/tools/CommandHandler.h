// CommandHandler: everything one parallel run needs — the caller's arguments and the paths derived from
// them, the settings of the task-manager file, the machine and task tables, the launch settings and the
// run's status code and message. Its operations live in files named for what they do.
#ifndef ZEP3D_TOOLS_COMMANDHANDLER_H_
#define ZEP3D_TOOLS_COMMANDHANDLER_H_

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "zep3d/ZEPFileIO.h"

class CommandHandler {
  public:
    // Status codes of a run, as CZEPTools returns them: the three kinds of run that set-up found, then
    // the set-up failures, each stored with its message in m_sErrMsg. The launch never changes them.
    enum Status : int {
        kSerialRun = 0,                  // at most one task, in a task mode other than 1 and 11
        kSingleMachineRun = 1,           // task mode 0 or 12
        kMultiMachineRun = 2,            // task mode 1, 11 or 13
        kNoRun = -3300,                  // the façade has no run (no command yet, or out of memory)
        kNoTaskManagerFile = -3301,      // the task-manager file cannot be opened (or is no such file)
        kOldTaskManagerFile = -3302,     // its machine block's version is below 1003
        kBadMachineLine = -3303,         // a machine entry or the task counts are wrong
        kNoPartitionFile = -3304,        // the partition file cannot be written
        kNoLauncherFile = -3305,         // the launcher file cannot be written
        kNotUnderWorkingFolder = -3306,  // the command line does not fit the parallel working folder
        kBadTaskMode = -3307,            // a parallel run in none of the task modes below
    };

    // True for the statuses of a run that was set up (0 to 2).
    static bool IsRunStatus(int status) { return status >= kSerialRun && status <= kMultiMachineRun; }

    // Task modes: the task-manager file's "IDTaskMode", which chooses the launch route. m_iTaskMode
    // keeps whatever number the file gives; only these are launched.
    enum TaskMode : int {
        kNoTaskMode = -1,      // the file has no task block
        kLocalMachine = 0,     // MPI processes on this machine
        kWindowsMachines = 1,  // MPI processes over several Windows machines
        kLinuxMachines = 11,   // MPI processes on Linux machines, started over SSH on the storage node
        kClusterOneNode = 12,  // a cluster job on one node
        kClusterNodes = 13,    // a cluster job over several nodes
    };

    // True for the task modes of a run on one machine (0 and 12), whose file has no machine block.
    static bool IsSingleMachineMode(int taskMode) {
        return taskMode == kLocalMachine || taskMode == kClusterOneNode;
    }

    // The largest number of tasks a run may have; a task-manager file asking for more is refused.
    static constexpr int kMaxTasks = 1 << 20;
    // The most weight entries a task-manager file may give, over all its machine blocks (each block
    // adds a 0.0 and one weight per task of its machines): eight blocks of the largest run.
    static constexpr size_t kMaxWeightFactors = size_t{8} << 20;
    // The longest host name and installation folder of a machine entry.
    static constexpr size_t kMaxMachineField = 255;

    // Creates the handler's file I/O object with the trace level (id 0); every field has its default.
    explicit CommandHandler(int debugLevel);
    ~CommandHandler();
    CommandHandler(const CommandHandler&) = delete;
    CommandHandler& operator=(const CommandHandler&) = delete;

    // Stores the arguments and derives the run paths; reads and writes nothing. Null texts count as
    // empty texts.
    void SetCommandArguments(int iCommand, const char* commandLine, const char* installDir,
                             const char* projectDir, const char* baseName, const char* exeName,
                             const char* runID);

    // Sets m_sLinProjectDir and m_sLinRunPath: the project folder as the Linux node sees it, below
    // "/ZEP_WorkingFolder/".
    void SetLinuxProjectDir(const char* projectDir);

    // Reads the task-manager file m_sCMXName, checks it, builds the per-task host table and sets the run
    // status; returns it. The file is closed on every path.
    int ReadCMX4TaskManager();

    // Checks each machine entry against m_nproc, builds m_ppTaskHostName and the machines' paths;
    // returns m_iStatus.
    int CheckMachineTaskCount();

    // Writes the partition and launcher files of a parallel run and rewrites m_sCommandLine; returns
    // m_iStatus (0 for a single-machine run). Does nothing when the status is below 1. A file that
    // cannot be created, or whose writing or closing fails, gives -3304 (partition file) or -3305
    // (launcher file); after a failed write neither file remains.
    int WriteParallelFile();

    // "127.0.0.1" for single-machine runs, otherwise the task-manager file's local host.
    const char* GetHostIP();

    // ---- Launching: the operations of ExecuteCommand and WaitCommand ----------------------------

    // Traces the folders the run will use; changes nothing.
    void SetProcessCleaner();

    // Sets jobId to -1, builds the launcher's arguments, sets m_nRemoteHost and starts the run on the
    // route of the task mode: local spawn (0, 1), remote Linux run (11) or cluster job (12, 13, which
    // sets jobId). Failures are printed; the status never changes.
    void SpawnMPIProcess(long& jobId);

    // Builds the launcher's argument string into m_sPPPName.
    void SetMPICommandLine();

    // Prepares the installation's account (at most 10 tries) and starts the launcher; returns 0.
    int SpawnLocalMPIProcess();

    // Submits the cluster job; 0 (and jobId set) on success, otherwise the companion's code.
    int SubmitHPCJob(long& jobId);

    // Waits for the job made by SubmitHPCJob, if any, and prints its start and end summaries.
    void WaitHPCJob();

    // Reads the account of the installation's "acc.ini" into m_szUserName and m_szPassword.
    void ReadAccountInfo();

    // Task mode 11: boots the MPD ring, writes the machine file and starts the remote launcher; the
    // account password is wiped from m_szPassword when the route ends.
    void SpawnLinuxMPIProcess();
    void BootMPDRing();
    void WriteRemoteMachineFile();
    // Returns the launcher's return value as the SSH companion reports it.
    int LaunchRemoteMPIExec(const char* launcher, const char* arguments, const char* localRunFolder,
                            bool redirectConsole);

    // The launcher's configuration text for a run folder, through the MPI and text companions.
    static std::string IntelMPIConfigurationText(const std::string& runFolder);

    // Traces go to standard output only at this level or above.
    static constexpr int kTraceLevel = 2;

    std::unique_ptr<CZEPFileIO> m_pFileIO;
    int m_iNoPathMapping = 0;
    int m_iStatus = kSerialRun;
    int m_iDebug;
    std::string m_sErrMsg;
    int m_iCommand = 0;
    std::string m_sCommandLine;
    int m_nproc = -1;
    int m_nRemoteHost = -1;
    bool m_bIsSMP = true;
    int m_iTaskMode = kNoTaskMode;
    int m_nMachine = -1;
    std::vector<std::string> m_vMachines;
    // Host name of each task, in task order (at most kMaxMachineField characters; empty when no machine
    // claimed the task). Exactly m_nproc entries once the task-manager file has been read.
    std::vector<std::string> m_ppTaskHostName;
    std::vector<double> m_vWeightFactor;
    std::string m_sBinFolderName;
    std::string m_sBaseName;
    std::string m_sInstallDir;
    std::string m_sWinRunFile;
    std::string m_sLinRunFile;
    std::string m_sCMXName;
    std::string m_sPPPName;
    std::string m_sAccIniPath;
    std::string m_sPWFName;
    std::string m_sLinMPIArgument;
    std::string m_sRunID;
    std::string m_sWinRunPath;
    std::string m_sExeName;
    std::string m_sMPIName;
    std::string m_sExeFullPath;
    std::string m_sLinMPIName;
    std::string m_sLinExeFullPath;
    std::string m_sLinZep3DHomeDir;
    std::string m_sLinProjectDir;
    std::string m_sLinRunPath;
    std::string m_sMapDrive;
    std::string m_sSharedDriveName;
    std::string m_sLocalHostName;
    std::string m_sParallelWorkingFolderName;
    std::string m_sSharedTarvik3DName;
    std::string m_sHPCNodeName;
    long m_lJobID = -1;
    std::string m_sHPCOutputFolder;
    // How the job that WaitHPCJob waited for ended, for callers that report it: the companion's job
    // state (ZEPJobState; 0, unknown, when the wait failed) and the scheduler's own word for it.
    int m_iHPCJobState = 0;
    std::string m_sHPCJobState;
    // How the remote launch of the Linux route went, for callers that report it: whether the launcher
    // was started at all, the SSH companion's result (0, or its failure code) and the launcher's exit
    // code as the companion reports it.
    bool m_bRemoteLaunched = false;
    int m_iRemoteLaunchResult = 0;
    int m_iRemoteExitCode = 0;
    bool m_bConsoleRedirection = false;
    int m_iConsoleRedirection = 0;
    int m_iMinPort = 10000;
    int m_iMaxPort = 11000;
    char m_szUserName[1024] = {0};
    char m_szPassword[1024] = {0};

  private:
    class LineReader;

    void SetFailure(int status, const std::string& message);
    void SetMachineLineFailure(const std::string& entry);
    void SetTaskCountFailure(const std::string& entry, int taskCount);
    void SetInconsistentFailure();
    void ReadTaskBlock(LineReader& reader);
    int ReadMachineBlock(LineReader& reader, int& version);
    void ReadMachineLines(LineReader& reader);
    int ReadWeights(LineReader& reader);
    void TraceTaskManager();
    // Closes both run files; false (with -3304 or -3305 stored and both files removed) when a write or
    // a close of either failed.
    bool FinishRunFiles(std::ofstream& ppp, std::ofstream& pwf);
    bool RewriteCommandLine();
    bool MachineItems(std::vector<std::string>& items);
    void SetWorkingFolderFailure();

    // Machine entries that the machine-setting section promised (the entry count it sized the list
    // for); entries it could not read because the file ended are refused when the tasks are checked.
    size_t m_iMachineEntriesExpected = 0;
};

#endif  // ZEP3D_TOOLS_COMMANDHANDLER_H_
