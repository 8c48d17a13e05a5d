// CZEPTools: the exported façade. Each command builds a fresh CommandHandler; the façade's own
// CZEPFileIO serves the solver's file operations.
#include "zep3d/ZEPTools.h"

#include <new>

#include "tools/CommandHandler.h"

CZEPTools::CZEPTools() : m_pHandler(nullptr), m_pFileIO(nullptr) {}

CZEPTools::~CZEPTools() {
    delete m_pHandler;
    m_pHandler = nullptr;
    ReleaseFileIO();
}

int CZEPTools::SetUp(bool writeFiles, int iCommand, const char* commandLine, const char* installDir,
                     const char* projectDir, const char* baseName, const char* exeName, const char* runID,
                     bool setNoPathMapping, int noPathMapping, int debugLevel) {
    delete m_pHandler;
    m_pHandler = nullptr;
    try {
        m_pHandler = new CommandHandler(debugLevel);
        if (setNoPathMapping) m_pHandler->m_iNoPathMapping = noPathMapping;
        m_pHandler->SetCommandArguments(iCommand, commandLine, installDir, projectDir, baseName, exeName,
                                        runID);
        m_pHandler->ReadCMX4TaskManager();
        if (writeFiles) m_pHandler->WriteParallelFile();
        return m_pHandler->m_iStatus;
    } catch (...) {
        // Out of memory while setting up: no run is left half made.
        delete m_pHandler;
        m_pHandler = nullptr;
        return CommandHandler::kNoRun;
    }
}

int CZEPTools::SetCommand(int iCommand, const char* commandLine, const char* installDir,
                          const char* projectDir, const char* baseName, const char* exeName,
                          const char* runID, int debugLevel) {
    return SetUp(true, iCommand, commandLine, installDir, projectDir, baseName, exeName, runID, false, 0,
                 debugLevel);
}

int CZEPTools::SetCommand(int iCommand, const char* commandLine, const char* installDir,
                          const char* projectDir, const char* baseName, const char* exeName,
                          const char* runID, int noPathMapping, int debugLevel) {
    return SetUp(true, iCommand, commandLine, installDir, projectDir, baseName, exeName, runID, true,
                 noPathMapping, debugLevel);
}

int CZEPTools::GetCommand(int iCommand, const char* commandLine, const char* installDir,
                          const char* projectDir, const char* baseName, const char* exeName,
                          const char* runID, int debugLevel) {
    return SetUp(false, iCommand, commandLine, installDir, projectDir, baseName, exeName, runID, false, 0,
                 debugLevel);
}

int CZEPTools::ExecuteCommand(long& jobId) {
    jobId = -1;
    if (m_pHandler == nullptr) return CommandHandler::kNoRun;
    try {
        m_pHandler->SetProcessCleaner();
        m_pHandler->SpawnMPIProcess(jobId);
    } catch (...) {
        // Out of memory while launching: the launch is abandoned, the set-up's status stands.
    }
    return m_pHandler->m_iStatus;
}

int CZEPTools::WaitCommand() {
    if (m_pHandler == nullptr) return CommandHandler::kNoRun;
    try {
        m_pHandler->WaitHPCJob();
    } catch (...) {
        // As above: the wait is abandoned.
    }
    return m_pHandler->m_iStatus;
}

const char* CZEPTools::GetCommandErrMsg() {
    return m_pHandler != nullptr ? m_pHandler->m_sErrMsg.c_str() : "";
}

const char* CZEPTools::GetHostIP() {
    if (m_pHandler == nullptr) return "";
    try {
        return m_pHandler->GetHostIP();
    } catch (...) {
        return "";
    }
}

CZEPFileIO* CZEPTools::FileIO() {
    if (m_pFileIO == nullptr) m_pFileIO = new (std::nothrow) CZEPFileIO();
    return m_pFileIO;
}

void CZEPTools::ReleaseFileIO() {
    delete m_pFileIO;
    m_pFileIO = nullptr;
}

int CZEPTools::SetFileIO(int myid, int traceLevel) {
    if (m_pFileIO != nullptr) return m_pFileIO->m_iStatus;
    m_pFileIO = new (std::nothrow) CZEPFileIO(myid, traceLevel);
    return m_pFileIO != nullptr ? 0 : 1;
}

int CZEPTools::OpenFile(FILE*& fp, const char* path, const char* mode, int waitMs) {
    CZEPFileIO* io = FileIO();
    if (io == nullptr) return 1;
    try {
        return io->OpenFile(fp, path, mode, waitMs);
    } catch (...) {
        return 1;
    }
}

int CZEPTools::OpenFile(std::ifstream& in, const char* path, unsigned int openMode, int waitMs) {
    CZEPFileIO* io = FileIO();
    if (io == nullptr) return 1;
    try {
        return io->OpenFile(in, path, openMode, waitMs);
    } catch (...) {
        return 1;
    }
}

int CZEPTools::OpenFile(std::ofstream& out, const char* path, unsigned int openMode, int waitMs) {
    CZEPFileIO* io = FileIO();
    if (io == nullptr) return 1;
    try {
        return io->OpenFile(out, path, openMode, waitMs);
    } catch (...) {
        return 1;
    }
}

int CZEPTools::CloseFile(FILE*& fp, const char* path) {
    CZEPFileIO* io = FileIO();
    int result = 1;
    if (io != nullptr) {
        try {
            result = io->CloseFile(fp, path);
        } catch (...) {
            result = 1;
        }
    }
    ReleaseFileIO();
    return result;
}

int CZEPTools::CloseFile(std::ifstream& in, const char*) {
    if (in.is_open()) in.close();
    in.clear();
    ReleaseFileIO();
    return 1;
}

int CZEPTools::CloseFile(std::ofstream& out, const char*) {
    if (out.is_open()) out.close();
    out.clear();
    ReleaseFileIO();
    return 1;
}

int CZEPTools::RemoveFile(const char* path, int waitMs) {
    CZEPFileIO* io = FileIO();
    int result = -1;
    if (io != nullptr) {
        try {
            result = io->RemoveFile(path, waitMs);
        } catch (...) {
            result = -1;
        }
    }
    ReleaseFileIO();
    return result;
}
