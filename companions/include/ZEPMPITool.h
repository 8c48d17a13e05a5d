// MPI launcher companion: the launcher's configuration text and the account preparation.
#ifndef ZEP3D_COMPANIONS_ZEPMPITOOL_H_
#define ZEP3D_COMPANIONS_ZEPMPITOOL_H_

#include <string>

#include "ZEPCompanionExport.h"

class ZEPMPITOOL_API CZEPMPITool {
  public:
    CZEPMPITool();
    ~CZEPMPITool();

    // The configuration text that heads the launcher's arguments for a run folder: never null, owned by
    // this object and valid until the next call or the object's end.
    const wchar_t* GetIntelMPIConfigurationStringForMpiexec(const wchar_t* runFolder);

    // Prepares the installation's account for the launcher: 0 on success; any other value asks the
    // caller to try again.
    int ConvertAcc2RegistryForIntelMPI(const wchar_t* installFolder, bool option);

  private:
    std::wstring m_sConfiguration;
};

#endif  // ZEP3D_COMPANIONS_ZEPMPITOOL_H_
