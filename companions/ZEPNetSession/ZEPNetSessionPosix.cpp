// Starts the launcher on POSIX as a child process: arguments split by the Windows rules, the run folder
// as its working folder, optionally its console in a file there; the child is not waited for.
#include <errno.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "CompanionText.h"
#include "SessionCommon.h"
#include "Subprocess.h"
#include "ZEPNetSession.h"

namespace {

std::string ConsolePath(const std::string& folder) {
    time_t now = time(nullptr);
    struct tm parts;
    memset(&parts, 0, sizeof(parts));
    localtime_r(&now, &parts);
    std::string name = zep::companions::ConsoleFileName(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                                                        parts.tm_hour, parts.tm_min, parts.tm_sec);
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

int Report(const std::string& launcher, int error) {
    zep::companions::ReportStartFailure(launcher, strerror(error));
    return error;
}

}  // namespace

// Returns 0 when the launcher was started, otherwise the system's error number (also reported on
// standard error). remoteHostCount and isSMP need no handling here: the argument string says it all.
int CZEPNetSession::SpawnMPIProcess(const char* launcherPath, const char* arguments, int remoteHostCount,
                                    const char* workFolder, bool isSMP, bool consoleRedirection) {
    (void)remoteHostCount;
    (void)isSMP;
    try {
        std::string launcher = zep::companions::MapLibraryPath(launcherPath);
        if (launcher.empty()) return Report(launcher, EINVAL);
        std::string folder = zep::companions::MapLibraryPath(workFolder);
        // A relative launcher path names a file from the caller's folder, as on Windows, not from the run
        // folder that the launcher starts in.
        if (launcher[0] != '/' && launcher.find('/') != std::string::npos) {
            std::vector<char> here(4096);
            if (getcwd(here.data(), here.size()) != nullptr)
                launcher = std::string(here.data()) + "/" + launcher;
        }

        std::vector<std::string> args = zep::companions::SplitWindowsCommandLine(arguments);
        args.insert(args.begin(), launcher);

        zep::companions::SpawnOptions options;
        // Opened before the change of folder, so a relative run folder means the same place.
        if (consoleRedirection) options.outputFile = ConsolePath(folder);
        // The launcher outlives the call: it must not keep the caller's other files and sockets open.
        options.closeOtherFiles = true;
        options.folder = folder;
        // Not waited for: the launcher goes on as the caller's child.
        zep::companions::Subprocess launcherProcess;
        int rc = launcherProcess.Start(args, options);
        if (rc != 0) return Report(launcher, rc);
        return 0;
    } catch (...) {
        return Report(launcherPath != nullptr ? launcherPath : "", ENOMEM);
    }
}
