// zep3dtool's entry: the list of subcommands, the top-level help and the shared helpers.
#include <cstdio>
#include <exception>
#include <new>

#include "Commands.h"
#include "platform/Console.h"
#include "platform/Platform.h"
#include "tools/CommandHandler.h"

namespace zep {
namespace apps {
namespace {

const char kTopHelp[] =
    "usage: zep3dtool <command> [options]\n"
    "\n"
    "Prepares and starts the parallel runs of the flow-analysis solvers, and works with the files of an\n"
    "installation.\n"
    "\n"
    "commands:\n"
    "  run        set up a run from its task-manager file, start it and wait for it\n"
    "  check      show what a run's task-manager file says, without writing anything\n"
    "  account    write (set) or read back (show) the cluster account of an installation\n"
    "  encrypt    encipher a whole file in the library's encrypted file format\n"
    "  decrypt    decipher a file written by encrypt\n"
    "  arrows     turn a CSV file of vectors into an arrow STL file\n"
    "\n"
    "'zep3dtool <command> --help' describes a command and its options.\n"
    "Exit codes: 0 success, 1 failure, 2 wrong usage, 3 (run) the launched processes failed.\n";

int Dispatch(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 2; i < argc; ++i) args.push_back(argv[i]);
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "run") return RunCommand(args);
    if (command == "check") return CheckCommand(args);
    if (command == "account") return AccountCommand(args);
    if (command == "encrypt") return CryptCommand(args, false);
    if (command == "decrypt") return CryptCommand(args, true);
    if (command == "arrows") return ArrowsCommand(args);
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(kTopHelp, stdout);
        return kExitOk;
    }
    if (command.empty()) {
        std::fprintf(stderr, "zep3dtool: no command given (see 'zep3dtool --help')\n");
    } else {
        std::fprintf(stderr, "zep3dtool: unknown command '%s' (see 'zep3dtool --help')\n", command.c_str());
    }
    return kExitUsage;
}

}  // namespace

int Fail(const std::string& command, const std::string& text) {
    platform::Flush();
    std::fprintf(stderr, "zep3dtool %s: %s\n", command.c_str(), text.c_str());
    return kExitFailure;
}

int UsageError(const std::string& command, const std::string& text) {
    std::fprintf(stderr, "zep3dtool %s: %s (see 'zep3dtool %s --help')\n", command.c_str(), text.c_str(),
                 command.c_str());
    return kExitUsage;
}

std::string InstallFolder(const std::string& folder) {
    if (folder.empty() || folder.back() == '/' || folder.back() == '\\') return folder;
    bool backslashesOnly = folder.find('\\') != std::string::npos && folder.find('/') == std::string::npos;
    return folder + (backslashesOnly ? "\\" : "/");
}

bool IsFolder(const std::string& path) {
    // The Windows status query refuses a folder named with a separator at its end.
    std::string folder = path;
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\') &&
           folder[folder.size() - 2] != ':')
        folder.pop_back();
    platform::FileStatus status;
    return !folder.empty() && platform::QueryFileStatus(folder.c_str(), &status) && status.isDirectory;
}

std::string StatusMeaning(int status) {
    switch (status) {
        case CommandHandler::kSerialRun:
            return "serial run";
        case CommandHandler::kSingleMachineRun:
            return "parallel run on one machine";
        case CommandHandler::kMultiMachineRun:
            return "parallel run over several machines";
        case CommandHandler::kNoRun:
            return "no run could be set up";
        case CommandHandler::kNoTaskManagerFile:
            return "the task-manager file cannot be opened";
        case CommandHandler::kOldTaskManagerFile:
            return "the task-manager file's version is too old";
        case CommandHandler::kBadMachineLine:
            return "a machine line of the task-manager file is wrong";
        case CommandHandler::kNoPartitionFile:
            return "the partition file cannot be created";
        case CommandHandler::kNoLauncherFile:
            return "the launcher file cannot be created";
        case CommandHandler::kNotUnderWorkingFolder:
            return "the project path is not under the parallel working folder";
        case CommandHandler::kBadTaskMode:
            return "the task mode is unknown";
        default:
            return "unknown status";
    }
}

int Main(int argc, char** argv) {
    try {
        int code = Dispatch(argc, argv);
        platform::Flush();
        return code;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "zep3dtool: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zep3dtool: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "zep3dtool: unexpected failure\n");
    }
    return kExitFailure;
}

}  // namespace apps
}  // namespace zep
