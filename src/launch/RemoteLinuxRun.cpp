// The remote Linux route (task mode 11): after the MPD ring boot, the machine file of the run on the
// storage node and the remote launcher started in the background, its console optionally captured in
// a local file.
#include "launch/StorageNode.h"
#include "platform/Console.h"
#include "platform/Platform.h"
#include "tools/CommandHandler.h"

void CommandHandler::SpawnLinuxMPIProcess() {
    m_bRemoteLaunched = false;
    m_iRemoteLaunchResult = 0;
    m_iRemoteExitCode = 0;
    // The password is needed only while the route runs.
    struct PasswordWipe {
        char* password;
        size_t size;
        ~PasswordWipe() { zep::platform::SecureWipe(password, size); }
    } wipe{m_szPassword, sizeof(m_szPassword)};

    BootMPDRing();
    if (!zep::launch::CheckRemoteTargets(m_ppTaskHostName, m_sLinZep3DHomeDir, "SpawnLinuxMPIProcess()",
                                         "the run is not started"))
        return;
    WriteRemoteMachineFile();
    m_sMPIName = m_sLinZep3DHomeDir + "/IntelMPI/mpiexec.py";
    if (m_iDebug >= kTraceLevel) {
        zep::platform::Print("m_sMPIName   =[%s]\n", m_sMPIName.c_str());
        zep::platform::Print("m_sLinRunPath=[%s]\n", m_sLinRunPath.c_str());
    }
    LaunchRemoteMPIExec(m_sMPIName.c_str(), m_sLinMPIArgument.c_str(), m_sWinRunPath.c_str(),
                        m_bConsoleRedirection);
}

void CommandHandler::WriteRemoteMachineFile() {
    const bool trace = m_iDebug >= kTraceLevel;
    zep::launch::StorageNode node(zep::launch::StorageHostOf(m_ppTaskHostName), m_szUserName, m_szPassword,
                                  trace);
    const std::string runPath = zep::launch::EscapeForDoubleQuotes(m_sLinRunPath);
    zep::launch::RunRemoteStep(node, trace, "touch \"" + runPath + "/machines.txt\"",
                               "touch machines.txt in current run folder",
                               ">>> Create machine files at storage node     ... ");
    // One line per task; the remote "echo -e" turns the four characters \r\n into CR LF.
    std::string tasks;
    for (const std::string& host : m_ppTaskHostName)
        tasks += zep::launch::EscapeForDoubleQuotes(host) + "\\r\\n";
    zep::launch::RunRemoteStep(node, trace, "echo -e \"" + tasks + "\" > \"" + runPath + "/machines.txt\"",
                               "Modify machines.txt in current run folder",
                               ">>> Modify machine files at storage node     ... ");
}

int CommandHandler::LaunchRemoteMPIExec(const char* launcher, const char* arguments,
                                        const char* localRunFolder, bool redirectConsole) {
    const std::string folder = localRunFolder != nullptr ? localRunFolder : "";
    std::string consoleFile;
    if (redirectConsole) {
        zep::platform::Print(">>> Console redirection is turned on!\n");
        zep::platform::Flush();
        const std::string stamp = zep::launch::LocalTimeStamp("%04d-%02d-%02d_%02d-%02d-%02d");
        consoleFile = folder + "\\console_redirect_" + stamp + ".txt";
        zep::platform::Print(">>> The content of the console screen will be redirected to\n");
        zep::platform::Flush();
        zep::platform::Print(">>> %s\n", consoleFile.c_str());
        zep::platform::Flush();
    }
    // Nothing of the launcher path or its arguments may reach the remote shell as code.
    const std::string command = zep::launch::EscapeShellWord(launcher != nullptr ? launcher : "") + " " +
                                zep::launch::ShellLauncherArguments(arguments != nullptr ? arguments : "") +
                                " & echo \\<mpiexec\\>$!\\</mpiexec\\>";
    const bool trace = m_iDebug >= kTraceLevel;
    if (trace) {
        zep::platform::Print("Cmd=[%s]\n", command.c_str());
        zep::platform::Print("Press any key to continue\n");
    }
    const std::string pidFile = folder + "\\mpiexec.pid";
    zep::launch::StorageNode node(zep::launch::StorageHostOf(m_ppTaskHostName), m_szUserName, m_szPassword,
                                  trace);
    const int exitCode =
        node.RunToFile(command, consoleFile, pidFile, redirectConsole, &m_iRemoteLaunchResult);
    m_bRemoteLaunched = true;
    m_iRemoteExitCode = exitCode;
    if (redirectConsole) {
        zep::platform::Print(">>> Return value of mpiexec.py = %d\n", exitCode);
        zep::platform::Flush();
    }
    return exitCode;
}
