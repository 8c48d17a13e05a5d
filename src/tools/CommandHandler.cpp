// CommandHandler: construction, argument intake with the derived run paths, the failure messages of the
// run set-up, and the host address.
#include "tools/CommandHandler.h"

#include <cstdio>
#include <iostream>

#include "ZEPMPITool.h"
#include "ZEPUnicodeTool.h"
#include "platform/Console.h"
#include "platform/Platform.h"
#include "tools/CompanionText.h"

namespace {

std::string Text(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

}  // namespace

CommandHandler::CommandHandler(int debugLevel)
    : m_pFileIO(new CZEPFileIO(0, debugLevel)), m_iDebug(debugLevel) {}

CommandHandler::~CommandHandler() { zep::platform::SecureWipe(m_szPassword, sizeof(m_szPassword)); }

void CommandHandler::SetCommandArguments(int iCommand, const char* commandLine, const char* installDir,
                                         const char* projectDir, const char* baseName, const char* exeName,
                                         const char* runID) {
    const std::string install = Text(installDir);
    const std::string base = Text(baseName);
    const std::string exe = Text(exeName);
    m_iCommand = iCommand;
    m_sCommandLine = Text(commandLine);
    m_sRunID = Text(runID);
    m_sWinRunPath = Text(projectDir) + "/Analysis/Run" + m_sRunID;
    m_sWinRunFile = m_sWinRunPath + "/" + base + m_sRunID;
    m_sMPIName = install + "Bin\\IntelMPI\\impiexec.exe";
    m_sExeFullPath = install + "\\Bin\\" + exe;
    SetLinuxProjectDir(projectDir);
    m_sLinRunFile = m_sLinRunPath + "/" + base + m_sRunID;
    m_sBaseName = base;
    m_sExeName = exe;
    m_sInstallDir = install;
    m_sCMXName = m_sWinRunFile + ".cmx";
    m_sPPPName = m_sWinRunFile + ".ppp";
    m_sAccIniPath = m_sInstallDir + "Bin\\ACC.ini";
    m_sPWFName = m_sWinRunFile + ".pwf";
}

void CommandHandler::SetLinuxProjectDir(const char* projectDir) {
    static const std::string kNodeFolder = "/ZEP_WorkingFolder/";
    std::string folder = Text(projectDir);
    for (char& c : folder) {
        if (c == '\\') c = '/';
    }
    size_t found = folder.find(kNodeFolder);
    if (found != std::string::npos) {
        folder.erase(0, found);
    } else {
        size_t slash = folder.find('/');
        folder.erase(0, slash == std::string::npos ? 0 : slash + 1);
        folder.insert(0, kNodeFolder);
    }
    m_sLinProjectDir = folder;
    m_sLinRunPath = folder + "/Analysis/Run" + m_sRunID;
}

const char* CommandHandler::GetHostIP() {
    if (IsSingleMachineMode(m_iTaskMode)) {
        m_sLocalHostName = "127.0.0.1";
        return m_sLocalHostName.c_str();
    }
    if (m_iDebug >= kTraceLevel) {
        zep::platform::Stream() << "\n======In CommandHandler::GetHostIP======\n"
                                << "     Host IP Name=[" << m_sLocalHostName << "]" << '\n'
                                << '\n';
        zep::platform::Flush();
    }
    return m_sLocalHostName.c_str();
}

std::string CommandHandler::IntelMPIConfigurationText(const std::string& runFolder) {
    CZEPUnicodeTool unicode;
    const std::wstring folder = zep::tools::WideText(unicode, runFolder);
    CZEPMPITool mpi;
    return zep::tools::Utf8Text(unicode, mpi.GetIntelMPIConfigurationStringForMpiexec(folder.c_str()));
}

void CommandHandler::SetFailure(int status, const std::string& message) {
    m_iStatus = status;
    m_sErrMsg = message;
}

void CommandHandler::SetMachineLineFailure(const std::string& entry) {
    SetFailure(kBadMachineLine,
               "Error in Reading .cmx file!\nYour Machine name might have space character:\n" + entry +
                   "\nThis is not allowed in the present Tarvik3D version.\n"
                   "Please get back to the Task Manager page to rename the machine name.\n");
}

void CommandHandler::SetTaskCountFailure(const std::string& entry, int taskCount) {
    SetFailure(kBadMachineLine,
               "Error in Reading .cmx file!\n" + entry + "\nNumber of task on this machine is nonsensible:" +
                   std::to_string(taskCount) + "\nPlease get back to the Task Manager page to check it\n");
}

void CommandHandler::SetInconsistentFailure() {
    SetFailure(kBadMachineLine,
               "\n\nSymptom:\nError in reading .cmx file!!\nNumber of task on this machine is inconsistent.\n"
               "\nSolution:\nPlease check the setting in Task Manager page.\n");
}
