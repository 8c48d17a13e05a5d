// The subcommands of zep3dtool and what they share: exit codes, messages on standard error, the
// meaning of the run status codes.
#ifndef ZEP3D_APPS_COMMANDS_H_
#define ZEP3D_APPS_COMMANDS_H_

#include <string>
#include <vector>

class CommandHandler;

namespace zep {
namespace apps {

// Exit codes of every subcommand.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;    // a missing or unreadable file, a failed set-up, a wrong key, ...
constexpr int kExitUsage = 2;      // a wrong option or argument
constexpr int kExitRunFailed = 3;  // run: set up, but what it launched failed or nothing was started

// Writes the one line "zep3dtool <command>: <text>" to standard error; returns kExitFailure.
int Fail(const std::string& command, const std::string& text);

// Writes "zep3dtool <command>: <text> (see 'zep3dtool <command> --help')" to standard error; returns
// kExitUsage.
int UsageError(const std::string& command, const std::string& text);

// The installation folder with a separator at its end, as the library expects it: "/" is added unless
// the folder already ends with "/" or a backslash (a backslash when it uses backslashes only).
std::string InstallFolder(const std::string& folder);

// True when `path` names an existing folder (after the library's path mapping).
bool IsFolder(const std::string& path);

// A short explanation of a run status code ("parallel run on one machine", "the task-manager file
// cannot be opened", ...).
std::string StatusMeaning(int status);

// What failed in a run that `handler` launched, in a few words ("the cluster job 7 ended FAILED"), for
// the routes that leave their outcome in the handler: the Linux storage node (task mode 11) and the
// cluster job (jobId, -1 for none). Empty when nothing failed there.
std::string LaunchFailure(const CommandHandler& handler, long jobId);

// The subcommands; each takes the arguments after its name and returns the exit code. None throws.
int RunCommand(const std::vector<std::string>& args);
int CheckCommand(const std::vector<std::string>& args);
int AccountCommand(const std::vector<std::string>& args);
int CryptCommand(const std::vector<std::string>& args, bool decrypt);
int ArrowsCommand(const std::vector<std::string>& args);

// The whole program: dispatches to the subcommand named by argv[1].
int Main(int argc, char** argv);

}  // namespace apps
}  // namespace zep

#endif  // ZEP3D_APPS_COMMANDS_H_
