// CZEPTools: the exported façade through which a solver sets up one parallel run and opens, closes and
// removes its own files.
#ifndef ZEP3D_INCLUDE_ZEPTOOLS_H_
#define ZEP3D_INCLUDE_ZEPTOOLS_H_

#include <cstdio>
#include <fstream>

#include "zep3d/Export.h"
#include "zep3d/ZEPFileIO.h"

class CommandHandler;

// Run status codes returned by the run operations:
//   0 serial run, 1 single-machine parallel run, 2 multi-machine run;
//   -3301 ... -3307 set-up failures, explained by GetCommandErrMsg();
//   -3300 no run is set up (no SetCommand/GetCommand yet, or the set-up could not get memory).
//
// A façade cannot be copied: it owns its run and its file I/O object, and each is released once.
class ZEP3DTOOL_API CZEPTools {
  public:
    CZEPTools();
    ~CZEPTools();
    CZEPTools(const CZEPTools&) = delete;
    CZEPTools& operator=(const CZEPTools&) = delete;

    // Sets up a run: replaces the run of an earlier command, stores the arguments, reads the run's
    // task-manager file "<projectDir>/Analysis/Run<runID>/<baseName><runID>.cmx" and writes the run's
    // partition (".ppp") and launcher (".pwf") files beside it. Returns the run status. The second
    // form, with noPathMapping nonzero, leaves the command line's project path as it is.
    int SetCommand(int iCommand, const char* commandLine, const char* installDir, const char* projectDir,
                   const char* baseName, const char* exeName, const char* runID, int debugLevel);
    int SetCommand(int iCommand, const char* commandLine, const char* installDir, const char* projectDir,
                   const char* baseName, const char* exeName, const char* runID, int noPathMapping,
                   int debugLevel);

    // As SetCommand, but writes no files.
    int GetCommand(int iCommand, const char* commandLine, const char* installDir, const char* projectDir,
                   const char* baseName, const char* exeName, const char* runID, int debugLevel);

    // Starts the run that the last command set up, on the route of its task mode, and returns the run
    // status that the set-up left (launch failures are printed, never returned). jobId is -1, or the
    // identifier of the cluster job that was created. -3300 when no run is set up.
    int ExecuteCommand(long& jobId);

    // Waits for the run's cluster job, if one was created, printing its start and end summaries;
    // returns the run status (-3300 when no run is set up).
    int WaitCommand();

    // The message of the last set-up failure: empty while none was recorded and before any command.
    // Valid until the next command or the end of the façade.
    const char* GetCommandErrMsg();

    // The name or address of this machine as the task-manager file gives it ("127.0.0.1" for
    // single-machine runs); empty before any command.
    const char* GetHostIP();

    // Creates the façade's file I/O object with the given id and trace level and returns 0; when it
    // exists already, changes nothing and returns its last status.
    int SetFileIO(int myid, int traceLevel);

    // Logged file operations (see CZEPFileIO). The file I/O object is created with id and trace level 0
    // when SetFileIO was not called; CloseFile and RemoveFile release it afterwards.
    int OpenFile(FILE*& fp, const char* path, const char* mode, int waitMs);
    int OpenFile(std::ifstream& in, const char* path, unsigned int openMode, int waitMs);
    int OpenFile(std::ofstream& out, const char* path, unsigned int openMode, int waitMs);
    int CloseFile(FILE*& fp, const char* path);
    // Close an open stream (its fail flag is set when the close fails) and clear its state; return 1.
    int CloseFile(std::ifstream& in, const char* path);
    int CloseFile(std::ofstream& out, const char* path);
    int RemoveFile(const char* path, int waitMs);

  private:
    int SetUp(bool writeFiles, int iCommand, const char* commandLine, const char* installDir,
              const char* projectDir, const char* baseName, const char* exeName, const char* runID,
              bool setNoPathMapping, int noPathMapping, int debugLevel);
    CZEPFileIO* FileIO();
    void ReleaseFileIO();

    CommandHandler* m_pHandler;
    CZEPFileIO* m_pFileIO;
};

#endif  // ZEP3D_INCLUDE_ZEPTOOLS_H_
