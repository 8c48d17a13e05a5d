// The local route (task modes 0 and 1): the account preparation for the launcher and the launcher
// started through the CZEPNetSession companion.
#include "ZEPMPITool.h"
#include "ZEPNetSession.h"
#include "ZEPUnicodeTool.h"
#include "tools/CommandHandler.h"
#include "tools/CompanionText.h"

namespace {

constexpr int kAccountTries = 10;

}  // namespace

int CommandHandler::SpawnLocalMPIProcess() {
    CZEPMPITool mpi;
    CZEPUnicodeTool unicode;
    const std::wstring installFolder = zep::tools::WideText(unicode, m_sInstallDir);
    // The launch goes ahead whatever the last try gave.
    for (int attempt = 0; attempt < kAccountTries; ++attempt) {
        if (mpi.ConvertAcc2RegistryForIntelMPI(installFolder.c_str(), false) == 0) break;
    }
    {
        CZEPNetSession spawner;
        spawner.SpawnMPIProcess(m_sMPIName.c_str(), m_sPPPName.c_str(), m_nRemoteHost, m_sWinRunPath.c_str(),
                                m_bIsSMP, m_bConsoleRedirection);
    }
    return 0;
}
