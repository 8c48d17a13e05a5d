// What the remote Linux route needs to talk to the storage node over SSH: the node with its account,
// the designed pattern of a traced remote step, and the checks and escapes of values that go into a
// remote shell command.
#ifndef ZEP3D_LAUNCH_STORAGENODE_H_
#define ZEP3D_LAUNCH_STORAGENODE_H_

#include <string>
#include <vector>

#include "ZEPUnicodeTool.h"

namespace zep {
namespace launch {

// The storage node with the account and verbosity the SSH companion gets on every call.
class StorageNode {
  public:
    StorageNode(const std::string& host, const char* user, const char* password, bool verbose);
    // Wipes the node's copy of the password.
    ~StorageNode();
    StorageNode(const StorageNode&) = delete;
    StorageNode& operator=(const StorageNode&) = delete;

    // The companion's connection check: 0 or one of its codes -1 ... -8.
    int CheckConnection();

    // Runs one command; returns the companion's result. When stdoutUtf8 is given it receives the
    // command's standard output in UTF-8; the companion's output texts are released here.
    int Run(const std::string& command, std::string* stdoutUtf8 = nullptr);

    // Starts the remote launcher in the background (see CZEPSSH2Tool::SSH2_RemoteCommandOutputToFile);
    // returns the launcher's exit code as the companion reports it, and stores the companion's own
    // result in *companionResult when given.
    int RunToFile(const std::string& command, const std::string& consoleFile, const std::string& pidFile,
                  bool redirectConsole, int* companionResult = nullptr);

    const std::string& host() const { return host_; }

  private:
    // The wide form of a text; with `secret` every conversion buffer is wiped after use.
    std::wstring Wide(const std::string& text, bool secret = false);

    CZEPUnicodeTool unicode_;
    std::string host_;
    std::wstring wideHost_;
    std::wstring wideUser_;
    std::wstring widePassword_;
    bool verbose_;
};

// One traced remote step: prints the command and label, runs it, prints the banner, and reports a
// failure (always) or "OK!" (when tracing). Returns the companion's result.
int RunRemoteStep(StorageNode& node, bool trace, const std::string& command, const char* label,
                  const char* banner, std::string* stdoutUtf8 = nullptr);

// The text with every double quote, dollar sign, backtick and backslash escaped by a backslash, so that
// inside a double-quoted part of a remote shell command it stands for itself.
std::string EscapeForDoubleQuotes(const std::string& text);

// The text as one unquoted word of a remote shell command: every character that the shell would take
// as syntax, an expansion or a pattern gets a backslash (a control character is put in single quotes);
// letters, digits, "/._-+,:@%^=" and bytes beyond ASCII stay as they are, so a plain path keeps its
// bytes.
std::string EscapeShellWord(const std::string& text);

// The launcher's argument text of the Linux route (the launcher file as read back, with its backslash
// before the first "$") made safe for the remote shell. The text is read as the Windows launcher reads
// its arguments: words separated by blanks, double quotes grouping, backslashes literal except before a
// double quote; the backslash put before the first "$" only marks that "$" as plain. Each word whose
// bytes the shell already reads as exactly that word, with nothing expanded, keeps its bytes (and so do
// the blanks between words); any other word is written in double quotes with "\"", "$", "`" and "\\"
// escaped. The remote program thus receives every word as the text gave it.
std::string ShellLauncherArguments(const std::string& arguments);

// True for a path that starts with "/" and holds no zero byte.
bool IsAbsolutePosixPath(const std::string& path);

// True for a non-empty name of letters, digits, ".", "-" and "_" only.
bool IsValidHostName(const std::string& name);

// The storage node: the host of the first task (empty when there is no task).
std::string StorageHostOf(const std::vector<std::string>& taskHosts);

// The check of what the Linux route puts into the storage node's shell commands, before any remote
// step: the storage node and every other task's host must be valid host names (a task that no machine
// claimed has an empty one, which is allowed), and the installation folder on the node an absolute
// POSIX path. For the first value that is not, prints "<operation> failed: [<value>] is not a valid
// host name; <outcome>.\n" (or "... is not an absolute POSIX path; ...") and returns false.
bool CheckRemoteTargets(const std::vector<std::string>& taskHosts, const std::string& nodeFolder,
                        const char* operation, const char* outcome);

// The local time formatted by a printf format of year, month, day, hour, minute and second.
std::string LocalTimeStamp(const char* format);

}  // namespace launch
}  // namespace zep

#endif  // ZEP3D_LAUNCH_STORAGENODE_H_
