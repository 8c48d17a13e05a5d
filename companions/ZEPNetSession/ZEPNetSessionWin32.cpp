// Starts the launcher on Windows with CreateProcess: the argument string as the launcher's command
// line, the run folder as its working folder, optionally its console in a file there.
#include <windows.h>

#include <string>
#include <vector>

#include "CompanionText.h"
#include "SessionCommon.h"
#include "ZEPNetSession.h"

namespace {

int Report(const char* launcher, DWORD error) {
    zep::companions::ReportStartFailure(launcher != nullptr ? launcher : "",
                                        "error " + std::to_string(static_cast<unsigned long>(error)));
    return error != 0 ? static_cast<int>(error) : -1;
}

}  // namespace

// Returns 0 when the launcher was started, otherwise the system's error code (also reported on standard
// error). remoteHostCount and isSMP need no handling here: the argument string says it all.
int CZEPNetSession::SpawnMPIProcess(const char* launcherPath, const char* arguments, int remoteHostCount,
                                    const char* workFolder, bool isSMP, bool consoleRedirection) {
    (void)remoteHostCount;
    (void)isSMP;
    try {
        if (launcherPath == nullptr || *launcherPath == 0)
            return Report(launcherPath, ERROR_INVALID_PARAMETER);
        std::string commandLine = zep::companions::QuoteWindowsArgument(launcherPath);
        if (arguments != nullptr && *arguments != 0) commandLine += std::string(" ") + arguments;
        std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
        mutableLine.push_back(0);
        const char* folder = (workFolder != nullptr && *workFolder != 0) ? workFolder : nullptr;

        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof(startup));
        startup.cb = sizeof(startup);
        HANDLE console = INVALID_HANDLE_VALUE;
        if (consoleRedirection) {
            SYSTEMTIME now;
            GetLocalTime(&now);
            std::string path = folder != nullptr ? std::string(folder) : std::string();
            if (!path.empty() && path.back() != '\\' && path.back() != '/') path += "\\";
            path += zep::companions::ConsoleFileName(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                                                     now.wSecond);
            SECURITY_ATTRIBUTES inherit;
            ZeroMemory(&inherit, sizeof(inherit));
            inherit.nLength = sizeof(inherit);
            inherit.bInheritHandle = TRUE;
            console = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (console == INVALID_HANDLE_VALUE) return Report(launcherPath, GetLastError());
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            startup.hStdOutput = console;
            startup.hStdError = console;
        }
        PROCESS_INFORMATION process;
        ZeroMemory(&process, sizeof(process));
        BOOL started =
            CreateProcessA(nullptr, mutableLine.data(), nullptr, nullptr, consoleRedirection ? TRUE : FALSE,
                           0, nullptr, folder, &startup, &process);
        DWORD error = started ? 0 : GetLastError();
        if (console != INVALID_HANDLE_VALUE) CloseHandle(console);
        if (!started) return Report(launcherPath, error);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return 0;
    } catch (...) {
        return Report(launcherPath, ERROR_NOT_ENOUGH_MEMORY);
    }
}
