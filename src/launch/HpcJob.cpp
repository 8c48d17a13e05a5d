// The cluster-job route (task modes 12 and 13): the node table, the output folder, the job submission
// with the installation's account, and the wait for the job with its summaries.
#include <cstring>
#include <vector>

#include "ZEPHpcTool.h"
#include "platform/Console.h"
#include "platform/Platform.h"
#include "toolkit/ZEP3DACCSecurity.h"
#include "tools/CommandHandler.h"

namespace {

constexpr int kAccountOk = 1000;
constexpr size_t kAccountBuffer = 1024;

// Reads the account of "<install>\Bin\acc.ini" into the two 1024-byte buffers; prints a line when it
// cannot. The buffers hold empty texts on failure.
void ReadAccount(const std::string& installDir, char* user, char* password) {
    std::memset(user, 0, kAccountBuffer);
    std::memset(password, 0, kAccountBuffer);
    const std::string path = installDir + "\\Bin\\acc.ini";
    CZEP3DACCSecurity account;
    account.ReadAccount(path.c_str(), user, password);
    if (account.GetStatus() != kAccountOk) {
        zep::platform::Print("Get password information from acc.ini failed.\n");
        zep::platform::Flush();
    }
}

}  // namespace

void CommandHandler::ReadAccountInfo() { ReadAccount(m_sInstallDir, m_szUserName, m_szPassword); }

int CommandHandler::SubmitHPCJob(long& jobId) {
    CZEPHpcTool hpc;
    const std::string jobName = "Tarvik3D HPC Job - " + m_sExeName;
    const std::string share = "\\\\" + m_sLocalHostName + "\\" + m_sSharedDriveName;
    m_sHPCOutputFolder = m_sWinRunPath;
    if (m_iTaskMode == kClusterNodes) {
        const size_t found = m_sHPCOutputFolder.find(m_sParallelWorkingFolderName);
        if (found != std::string::npos) {
            m_sHPCOutputFolder.replace(found, m_sParallelWorkingFolderName.size(), share);
        } else {
            m_sHPCOutputFolder = "C:\\Windows\\Temp";
        }
    }
    const std::string stdoutFile = m_sHPCOutputFolder + "\\zephpc_stdout.txt";
    const std::string stderrFile = m_sHPCOutputFolder + "\\zephpc_stderr.txt";

    // One node per group of consecutive tasks on one host; a single-node job runs every task here.
    std::vector<HostGroup> nodes = TaskHostGroups();
    std::string exePath;
    if (m_iTaskMode == kClusterOneNode) {
        exePath = m_sExeFullPath;
        nodes[0].name = "127.0.0.1";
        nodes[0].tasks = m_nproc;
    } else {
        exePath = "\\\\" + m_sLocalHostName + "\\" + m_sSharedTarvik3DName + "\\Bin\\" + m_sExeName;
    }
    m_sHPCNodeName = nodes[0].name;
    std::vector<char*> names;
    std::vector<int> counts;
    for (HostGroup& node : nodes) {
        names.push_back(node.name.data());
        counts.push_back(node.tasks);
    }

    std::vector<char> user(kAccountBuffer);
    std::vector<char> password(kAccountBuffer);
    ReadAccount(m_sInstallDir, user.data(), password.data());
    const ComputingMode mode =
        m_iTaskMode == kClusterOneNode ? ZEP_COMPUTING_SINGLE_NODE : ZEP_COMPUTING_MULTI_NODE;
    const int result = hpc.HPC_CreateJob(m_lJobID, user.data(), password.data(), jobName.c_str(), mode,
                                         static_cast<int>(nodes.size()), names.data(), counts.data(),
                                         exePath.c_str(), m_sCommandLine.c_str(), m_sHPCOutputFolder.c_str(),
                                         stdoutFile.c_str(), stderrFile.c_str(), "localhost");
    zep::platform::SecureWipe(password.data(), password.size());
    if (result != 0) {
        zep::platform::Print("CZEPHpcTool::HPC_CreateJob() failed. (%d)\n", result);
        zep::platform::Flush();
        return result;
    }
    jobId = m_lJobID;
    return 0;
}

void CommandHandler::WaitHPCJob() {
    if (m_lJobID == -1) return;
    m_iHPCJobState = ZEP_JOB_UNKNOWN;
    m_sHPCJobState.clear();
    CZEPHpcTool hpc;
    CZEPHPCJobInfoMessage info;
    int result = hpc.HPC_GetJobInfo(m_lJobID, info, "localhost");
    if (result != 0) {
        zep::platform::Print("CZEPHpcTool::HPC_GetJobInfo() failed. (%d)\n", result);
        return;
    }
    const char* start = info.PrintJobBasicStartInfo();
    zep::platform::Print("%s\n", start != nullptr ? start : "");
    ZEPJobState state = ZEP_JOB_UNKNOWN;
    result = hpc.HPC_WaitJobToFinish(m_lJobID, state, m_sHPCOutputFolder.c_str(), m_sHPCNodeName.c_str(),
                                     "localhost");
    if (result != 0) {
        zep::platform::Print("CZEPHpcTool::HPC_WaitJobToFinish() failed. (%d)\n", result);
        return;
    }
    result = hpc.HPC_GetJobInfo(m_lJobID, info, "localhost");
    if (result != 0) zep::platform::Print("CZEPHpcTool::HPC_GetJobInfo() failed. (%d)\n", result);
    m_iHPCJobState = state;
    m_sHPCJobState = result == 0 ? info.m_sState : std::string();
    const char* end = info.PrintJobBasicEndInfo();
    zep::platform::Print("%s\n", end != nullptr ? end : "");
}
