// Launch dispatch: the folder trace of the process cleaner, the launcher's argument string, the choice
// of the route by task mode, and the grouping of the tasks by host that the routes share.
#include "platform/Console.h"
#include "tools/CommandHandler.h"

void CommandHandler::SetProcessCleaner() {
    const bool trace = m_iDebug >= kTraceLevel;
    if (trace) zep::platform::Stream() << "\n======In CommandHandler::SetProcessCleaner======\n";
    const std::string binFolder = m_sInstallDir + "Bin";
    if (m_bIsSMP || !trace) return;
    std::ostream& out = zep::platform::Stream();
    out << "     StrZEP3dBinDir=" << binFolder << '\n';
    if (m_iTaskMode == kLinuxMachines) {
        out << "     LinZep3DHomeDir=" << m_sLinZep3DHomeDir << '\n'
            << "     WinRunPath=" << m_sWinRunPath << '\n'
            << "     LinRunPath=" << m_sLinRunPath << '\n';
    } else {
        out << "     BinFolderName=" << m_sBinFolderName << '\n'
            << "     WinRunPath=" << m_sWinRunPath << '\n';
    }
    out << "     nproc=" << m_nproc << '\n' << '\n';
}

void CommandHandler::SetMPICommandLine() {
    if (m_bIsSMP) {
        m_sPPPName = IntelMPIConfigurationText(m_sWinRunPath) + " -localonly -np " + std::to_string(m_nproc) +
                     " " + '"' + m_sExeFullPath + '"' + " " + m_sCommandLine;
    } else {
        m_sPPPName = "-configfile \"" + m_sPWFName + "\"";
    }
    if (m_iDebug >= kTraceLevel) {
        zep::platform::Print("IsSMP     = %d\n", m_bIsSMP ? 1 : 0);
        zep::platform::Print("MPIName   = [%s]\n", m_sMPIName.c_str());
        zep::platform::Print("PPPName   = [%s]\n", m_sPPPName.c_str());
        zep::platform::Print("RunPath   = [%s]\n", m_sWinRunPath.c_str());
        zep::platform::Print("LinRunPath= [%s]\n", m_sLinRunPath.c_str());
        zep::platform::Print("\n");
        zep::platform::Flush();
    }
}

std::vector<CommandHandler::HostGroup> CommandHandler::TaskHostGroups() const {
    std::vector<HostGroup> groups(static_cast<size_t>(m_nRemoteHost > 0 ? m_nRemoteHost : 1));
    size_t current = 0;
    for (size_t k = 0; k < m_ppTaskHostName.size(); ++k) {
        if (k > 0 && m_ppTaskHostName[k] != m_ppTaskHostName[k - 1] && ++current == groups.size())
            groups.emplace_back();
        groups[current].name = m_ppTaskHostName[k];
        ++groups[current].tasks;
    }
    return groups;
}

void CommandHandler::SpawnMPIProcess(long& jobId) {
    jobId = -1;
    const bool trace = m_iDebug >= kTraceLevel;
    if (trace) zep::platform::Stream() << "\n======In CommandHandler::SpawnMPIProcess======\n";
    SetMPICommandLine();
    m_nRemoteHost = m_bIsSMP ? 0 : static_cast<int>(m_vMachines.empty() ? 0 : m_vMachines.size() - 1);
    switch (m_iTaskMode) {
        case kLocalMachine:
        case kWindowsMachines:
            SpawnLocalMPIProcess();
            break;
        case kLinuxMachines:
            SpawnLinuxMPIProcess();
            break;
        case kClusterOneNode:
        case kClusterNodes:
            SubmitHPCJob(jobId);
            break;
        default:
            break;
    }
    if (trace) zep::platform::Stream() << "     ===>Finish spawn process!!\n";
}
