// The local route (task modes 0 and 1): the account preparation for the launcher and the launcher
// started through the CZEPNetSession companion.
#include <memory>

#include "ZEPMPITool.h"
#include "ZEPNetSession.h"
#include "ZEPUnicodeTool.h"
#include "tools/CommandHandler.h"

namespace {

constexpr int kAccountTries = 10;

struct WideBuffer {
    wchar_t text[32768];
};

}  // namespace

int CommandHandler::SpawnLocalMPIProcess() {
    CZEPMPITool mpi;
    CZEPUnicodeTool unicode;
    auto installFolder = std::make_unique<WideBuffer>();
    unicode.AnsiToUtf16(m_sInstallDir.c_str(), installFolder->text);
    installFolder->text[32767] = 0;
    // The launch goes ahead whatever the last try gave.
    for (int attempt = 0; attempt < kAccountTries; ++attempt) {
        if (mpi.ConvertAcc2RegistryForIntelMPI(installFolder->text, false) == 0) break;
    }
    {
        CZEPNetSession spawner;
        spawner.SpawnMPIProcess(m_sMPIName.c_str(), m_sPPPName.c_str(), m_nRemoteHost, m_sWinRunPath.c_str(),
                                m_bIsSMP, m_bConsoleRedirection);
    }
    return 0;
}
