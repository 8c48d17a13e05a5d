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

    // Machine entry i of m_vMachines (empty past its end) with every tab made a space, as its fields
    // are cut.
    std::string MachineEntryWithSpaces(size_t i) const;

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

    // Consecutive tasks on one host: the host and how many tasks run there.
    struct HostGroup {
        std::string name;
        int tasks = 0;
    };
    // The per-task host table as the routes hand it on (the cluster job's nodes, the MPD ring's hosts):
    // consecutive tasks on one host form one group. There are at least m_nRemoteHost groups (at least
    // one), those that no task reached empty; more when the tasks change host more often than that.
    std::vector<HostGroup> TaskHostGroups() const;

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

    // ---- The run's fields, in the designed order. "Set-up" is SetCommandArguments and the reading of
    // the task-manager file; "the launch" is SpawnMPIProcess and its routes. ----------------------

    // File I/O for every file the handler opens or removes; keeps the constructor's trace level.
    std::unique_ptr<CZEPFileIO> m_pFileIO;
    // Nonzero: the command line's project path is left as it is and not checked against the folder.
    int m_iNoPathMapping = 0;
    // The Status of the run; set-up sets it, the launch never changes it.
    int m_iStatus = kSerialRun;
    // Trace level: traces go to standard output at kTraceLevel and above. The task-manager file's
    // "iDebug" may replace it (m_pFileIO keeps the constructor's level).
    int m_iDebug;
    // The message of the last set-up failure; empty while there is none.
    std::string m_sErrMsg;
    // The caller's selector: 3 means the program path of the command line starts after its first
    // double quote.
    int m_iCommand = 0;
    // The solver's command line; WriteParallelFile rewrites its program path (before the first "*") and
    // its project path (up to the second "*") to the paths the machines reach.
    std::string m_sCommandLine;
    // Number of tasks (MPI processes) of the run; -1 until the task block gives one.
    int m_nproc = -1;
    // Machines of the launch: 0 for a single-machine run, else the number of machine entries; set by
    // the launch.
    int m_nRemoteHost = -1;
    // The run stays on one machine (task modes 0 and 12).
    bool m_bIsSMP = true;
    // The TaskMode number as the file gives it (any number; kNoTaskMode without a task block).
    int m_iTaskMode = kNoTaskMode;
    // Number of machines the machine block announces.
    int m_nMachine = -1;
    // Machine entries ("host tasks folder", fields apart by spaces or tabs) from slot 1 on; slot 0 is an
    // unused empty entry, and the only one in single-machine runs.
    std::vector<std::string> m_vMachines;
    // Host name of each task, in task order (at most kMaxMachineField characters; empty when no machine
    // claimed the task). Exactly m_nproc entries once the task-manager file has been read.
    std::vector<std::string> m_ppTaskHostName;
    // Weight of each task from slot 1 on; slot 0 is an unused 0.0. Every further machine block adds a
    // 0.0 of its own before its weights, and those do reach the partition file.
    std::vector<double> m_vWeightFactor;
    // The last machine entry's installation folder + "\Bin" (only traced).
    std::string m_sBinFolderName;
    // Base name of the run files, as given.
    std::string m_sBaseName;
    // Installation folder on this machine as given, normally ending with a backslash.
    std::string m_sInstallDir;
    // Run files without their extension: <run folder>/<base><id> here and on the Linux node.
    std::string m_sWinRunFile;
    std::string m_sLinRunFile;
    // Path of the task-manager file (".cmx").
    std::string m_sCMXName;
    // Path of the partition file (".ppp") until the launch, which overwrites it with the launcher's
    // argument text (SetMPICommandLine): after SpawnMPIProcess it is no path any more.
    std::string m_sPPPName;
    // <install>"Bin\ACC.ini": kept but never opened. The account is read from <install>"\Bin\acc.ini"
    // (ReadAccountInfo and the cluster job), spelt differently.
    std::string m_sAccIniPath;
    // Path of the launcher file (".pwf").
    std::string m_sPWFName;
    // Linux route: the launcher file as read back after writing, with a backslash put before its
    // first "$"; the remote launcher's arguments.
    std::string m_sLinMPIArgument;
    // Run identifier, as given.
    std::string m_sRunID;
    // Run folder on this machine: <project>/Analysis/Run<id>.
    std::string m_sWinRunPath;
    // File name of the solver program, as given.
    std::string m_sExeName;
    // Launcher path: <install>"Bin\IntelMPI\impiexec.exe"; the Linux route replaces it with
    // <node installation>/IntelMPI/mpiexec.py.
    std::string m_sMPIName;
    // Solver path on this machine: <install>"\Bin\"<exe> (two backslashes when the folder ends in one).
    std::string m_sExeFullPath;
    // The machines' MPICH launcher and solver paths (never read; the Linux route builds its own).
    std::string m_sLinMPIName;
    std::string m_sLinExeFullPath;
    // Linux route: the installation folder on the node (the file's "ValueSharedTarvik3DName").
    std::string m_sLinZep3DHomeDir;
    // Project and run folders as the Linux node sees them, below "/ZEP_WorkingFolder/".
    std::string m_sLinProjectDir;
    std::string m_sLinRunPath;
    // Machine block: the mapped drive and share name of the project disk ("ValueMap",
    // "ValueShareFolderName").
    std::string m_sMapDrive;
    std::string m_sSharedDriveName;
    // This machine's name or address ("ValueLocalHost"); GetHostIP makes it "127.0.0.1" in the
    // single-machine task modes.
    std::string m_sLocalHostName;
    // The project disk's working folder as local paths spell it ("ValueParallelWorkingFolder").
    std::string m_sParallelWorkingFolderName;
    // Share name of the installation ("ValueSharedTarvik3DName"); the Linux route's installation folder
    // on the node.
    std::string m_sSharedTarvik3DName;
    // Cluster job: its first node, its identifier (-1 while there is none) and the folder of its
    // standard output and error files.
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
    // The file's "ValueConsoleRedirection" value; redirection is on exactly when it is 1.
    bool m_bConsoleRedirection = false;
    int m_iConsoleRedirection = 0;
    // Port range of the MPD ring ("ValueMinPort", "ValueMaxPort").
    int m_iMinPort = 10000;
    int m_iMaxPort = 11000;
    // The account of the installation's account file, read by ReadAccountInfo for the Linux route
    // (the cluster job reads its own copy); the password is wiped when the route ends and with the
    // handler.
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
