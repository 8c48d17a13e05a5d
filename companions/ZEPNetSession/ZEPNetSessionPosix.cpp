// Starts the launcher on POSIX with posix_spawn: arguments split by the Windows rules, the run folder
// as its working folder, optionally its console in a file there; the child is not waited for.
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <string.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "CompanionText.h"
#include "ConsoleFileName.h"
#include "ZEPNetSession.h"

extern char** environ;

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

// posix_spawn's file actions, released however the start ends.
class FileActions {
  public:
    FileActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
    ~FileActions() {
        if (ok_) posix_spawn_file_actions_destroy(&actions_);
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    bool ok() const { return ok_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_;
    bool ok_ = false;
};

int Report(const std::string& launcher, int error) {
    std::fprintf(stderr, "CZEPNetSession::SpawnMPIProcess()-Cannot start \"%s\": %s\n", launcher.c_str(),
                 strerror(error));
    std::fflush(stderr);
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
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(&arg[0]);
        argv.push_back(nullptr);

        FileActions actions;
        if (!actions.ok()) return Report(launcher, ENOMEM);
        int rc = 0;
        std::string console;
        if (consoleRedirection) {
            // Opened before the change of folder, so a relative run folder means the same place.
            console = ConsolePath(folder);
            rc = posix_spawn_file_actions_addopen(actions.get(), 1, console.c_str(),
                                                  O_WRONLY | O_CREAT | O_APPEND, 0644);
            if (rc == 0) rc = posix_spawn_file_actions_adddup2(actions.get(), 1, 2);
        }
#ifdef ZEP_HAVE_SPAWN_CLOSEFROM
        // The launcher outlives the call: it must not keep the caller's other files and sockets open.
        if (rc == 0) rc = posix_spawn_file_actions_addclosefrom_np(actions.get(), 3);
#endif
        if (rc == 0 && !folder.empty())
            rc = posix_spawn_file_actions_addchdir_np(actions.get(), folder.c_str());
        if (rc != 0) return Report(launcher, rc);

        pid_t pid = 0;
        rc = posix_spawnp(&pid, launcher.c_str(), actions.get(), nullptr, argv.data(), environ);
        if (rc != 0) return Report(launcher, rc);
        return 0;
    } catch (...) {
        return Report(launcherPath != nullptr ? launcherPath : "", ENOMEM);
    }
}
