// Whole runs from Windows: CZEPTools of ZEP3DTool.dll, linked through its import library as a solver
// links it, with the real companion DLLs, under Wine on the servers that wine-wholerun.sh starts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TestUtil.h"
#include "WholeRuns.h"
#include "ZEPSSH2Tool.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using namespace zep::testing;

std::string Environment(const char* name) { return std::getenv(name) != nullptr ? std::getenv(name) : ""; }

// The Windows name of a file of the Linux host: Wine's drive Z: is the host's root.
std::string OnZ(const std::string& linuxPath) {
    std::string path = "Z:" + linuxPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The same file named without a drive letter: on the current drive (Z:, where wine-wholerun.sh starts
// the program), and so under the same name as on the Linux machines once backslashes become "/".
std::string WithoutDrive(const std::string& linuxPath) { return OnZ(linuxPath).substr(2); }

// The SSH companion reads the profile folder from the runtime's environment at every connection.
void SetProfile(const std::string& folder) { _putenv(("USERPROFILE=" + folder).c_str()); }

// What wine-wholerun.sh made, by Linux names, and a profile of the program's own for its known_hosts.
class WindowsWholeRun : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = Environment("ZEP3D_WINRUN_FOLDER");  // node/, calls/, install/, refused/, hpc/
        shared_ = Environment("ZEP3D_WINRUN_SHARED");  // the shared working folder
        user_ = Environment("ZEP3D_WINRUN_USER");      // the sshd's test user, the installations' account
        userHome_ = Environment("ZEP3D_WINRUN_USER_HOME");
        slurmNode_ = Environment("ZEP3D_WINRUN_SLURM_NODE");
        launcher_ = Environment("ZEP3D_WINRUN_LAUNCHER");  // the stand-in launcher program
        sshPort_ = std::atoi(Environment("ZEP3D_WINRUN_SSH_PORT").c_str());
        slurmCpus_ = std::atoi(Environment("ZEP3D_WINRUN_SLURM_CPUS").c_str());
        profile_ = new ScopedTempDir();
        savedProfile_ = Environment("USERPROFILE");
        SetProfile(fs::path(profile_->path()).make_preferred().string());
    }
    static void TearDownTestSuite() {
        SetProfile(savedProfile_);
        delete profile_;
        profile_ = nullptr;
    }
    void SetUp() override {
        if (folder_.empty() || shared_.empty() || user_.empty() || userHome_.empty() || slurmNode_.empty() ||
            launcher_.empty() || sshPort_ <= 0 || slurmCpus_ <= 0)
            GTEST_SKIP() << "no servers: run this program through testing/integration/wine-wholerun.sh";
    }

    static inline std::string folder_, shared_, user_, userHome_, slurmNode_, launcher_, savedProfile_;
    static inline int sshPort_ = 0, slurmCpus_ = 0;
    static inline ScopedTempDir* profile_ = nullptr;
};

// The project's run folders, in the shared working folder, belong to the node's user.
class WindowsStorageNode : public WindowsWholeRun, public ::testing::WithParamInterface<StorageNodeRun> {
  protected:
    void SetUp() override {
        WindowsWholeRun::SetUp();
        if (IsSkipped()) return;
        CZEPSSH2Tool::SSH2_SetPort(sshPort_);
        CZEPSSH2Tool::SSH2_SetTimeout(20000);
        std::error_code error;
        fs::remove(OnZ(userHome_ + "/.mpd.conf"), error);
        for (const auto& entry : fs::directory_iterator(OnZ(folder_ + "/calls"), error))
            fs::remove(entry.path(), error);
    }
    void TearDown() override {
        CZEPSSH2Tool::SSH2_SetPort(22);
        CZEPSSH2Tool::SSH2_SetTimeout(0);
    }
};

TEST_P(WindowsStorageNode, RunsPrintTheirTracesAndLeaveTheirFilesOnTheNode) {
    const StorageNodeRun& run = GetParam();
    const std::string nodeHome = folder_ + "/node/";
    const std::string linuxProject = shared_ + "/My Proj";
    const std::string project = OnZ(linuxProject);
    const std::string runPath = project + "/Analysis/Run" + run.runId;
    WriteFile(runPath + "/Part" + run.runId + ".cmx", StorageNodeCmx(run, nodeHome, nodeHome));

    const std::string install = OnZ(folder_ + (run.refused ? "/refused" : "/install")) + "\\";
    const std::string printed = ExecuteStorageNodeRun(kCommandLine, install, project, run.runId);

    // The run folder by this machine's name, the machine file by the node's.
    const std::string linuxRunPath = linuxProject + "/Analysis/Run" + run.runId;
    ExpectStorageNodeRun(run, printed,
                         NodeTraces{runPath,
                                    OnZ(folder_ + "/calls"),
                                    OnZ(userHome_ + "/.mpd.conf"),
                                    OnZ,
                                    {"-wdir", runPath, "-machinefile", linuxRunPath + "/machines.txt", "-n",
                                     "2", nodeHome + "/solver", nodeHome + "*" + linuxProject + "*"}});
    // The node was new to this profile: its ECDSA key, the type the Windows SSH library checks, is kept.
    if (!run.refused) {
        EXPECT_THAT(ReadFile(profile_->File(".ssh/known_hosts")),
                    HasSubstr("[localhost]:" + std::to_string(sshPort_) + " ecdsa-sha2-nistp256 "));
    }
}

INSTANTIATE_TEST_SUITE_P(WindowsWholeRunOverSsh, WindowsStorageNode, ::testing::ValuesIn(StorageNodeRuns()),
                         RunName);

// The head node is named by ZEP_HPC_HEAD_NODE; installation and project are named without a drive
// letter, so that the cluster sees them under the same names.
TEST_F(WindowsWholeRun, ClusterJobIsSubmittedOnTheHeadNodeWaitedForAndSummarised) {
    const std::string project = WithoutDrive(folder_ + "/hpc/My Proj");
    const std::string where =
        " as " + user_ + " args [C:\\App\\*D:\\Work\\P*] in " + folder_ + "/hpc/My Proj/Analysis/Run01";
    EXPECT_GT(ExpectClusterJob(WithoutDrive(folder_ + "/install") + "\\", project,
                               project + "/Analysis/Run01", slurmCpus_ >= 2 ? 2 : 1, slurmNode_, where),
              0);
}

TEST_F(WindowsWholeRun, LauncherIsStartedWithTheArgumentsInTheRunFolder) {
    ScopedTempDir temp;
    const std::string install = temp.path() + "/My Install/";
    const std::string project = temp.path() + "/My Proj";
    const std::string launcher = install + "Bin/IntelMPI/impiexec.exe";
    fs::create_directories(project + "/Analysis/Run01");
    fs::create_directories(install + "Bin/IntelMPI");
    ASSERT_TRUE(fs::copy_file(OnZ(launcher_), launcher));

    const std::vector<std::string> arguments = StartLocalRun(install, project);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!FileExists(launcher + ".record") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::vector<std::string> record = Lines(ReadFile(launcher + ".record"));
    ASSERT_FALSE(record.empty()) << "the launcher did not start";
    const std::string runPath = project + "/Analysis/Run01";
    EXPECT_EQ(record[0], fs::path(runPath).make_preferred().string()) << "its working folder";
    EXPECT_EQ(std::vector<std::string>(record.begin() + 1, record.end()), arguments);
    const std::vector<std::string> consoles = FilesStartingWith(runPath, "console_redirect_");
    ASSERT_EQ(consoles.size(), 1u);
    EXPECT_EQ(ReadFile(runPath + "/" + consoles[0]), "launcher: 9 arguments\r\n");
}

}  // namespace
