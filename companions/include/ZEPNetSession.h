// Session companion: starts the MPI launcher process.
#ifndef ZEP3D_COMPANIONS_ZEPNETSESSION_H_
#define ZEP3D_COMPANIONS_ZEPNETSESSION_H_

#include "ZEPCompanionExport.h"

class ZEPNETSESSION_API CZEPNetSession {
  public:
    CZEPNetSession();
    ~CZEPNetSession();

    // Starts the launcher with its complete argument string in workFolder and returns without waiting;
    // the launcher stays the caller's child. 0 when it was started.
    int SpawnMPIProcess(const char* launcherPath, const char* arguments, int remoteHostCount,
                        const char* workFolder, bool isSMP, bool consoleRedirection);
};

#endif  // ZEP3D_COMPANIONS_ZEPNETSESSION_H_
