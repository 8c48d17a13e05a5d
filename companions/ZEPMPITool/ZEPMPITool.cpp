// The MPI launcher companion: the launcher's working-folder option for a run folder, and the account
// preparation, which neither launcher build of this suite needs.
#include "ZEPMPITool.h"

#include "CompanionText.h"

CZEPMPITool::CZEPMPITool() {}
CZEPMPITool::~CZEPMPITool() {}

// "-wdir", the run folder as one quoted argument, and a closing blank: the library puts the text in
// front of further options with no separator of its own (in the machine-file form directly before
// "-machinefile").
const wchar_t* CZEPMPITool::GetIntelMPIConfigurationStringForMpiexec(const wchar_t* runFolder) {
    try {
        m_sConfiguration.clear();
        if (runFolder == nullptr || *runFolder == 0) return m_sConfiguration.c_str();
        // The folder comes in the library's own form; the launcher gets it as this system opens it.
        std::string utf8 = zep::companions::WideToUtf8(runFolder);
        std::string mapped = zep::companions::MapLibraryPath(utf8.c_str());
        std::string quoted = zep::companions::QuoteWindowsArgument(mapped);
        m_sConfiguration = L"-wdir " + zep::companions::Utf8ToWide(quoted) + L" ";
    } catch (...) {
        m_sConfiguration.clear();
    }
    return m_sConfiguration.c_str();
}

// Nothing to prepare: the launcher reads no stored account here, so the first call succeeds.
int CZEPMPITool::ConvertAcc2RegistryForIntelMPI(const wchar_t* installFolder, bool option) {
    (void)installFolder;
    (void)option;
    return 0;
}
