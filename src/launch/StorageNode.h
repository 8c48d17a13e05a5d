// What the remote Linux route needs to talk to the storage node over SSH: the node with its account,
// the designed pattern of a traced remote step, and the checks and escapes of values that go into a
// remote shell command.
#ifndef ZEP3D_LAUNCH_STORAGENODE_H_
#define ZEP3D_LAUNCH_STORAGENODE_H_

#include <string>

#include "ZEPUnicodeTool.h"

namespace zep {
namespace launch {

// The storage node with the account and verbosity the SSH companion gets on every call.
class StorageNode {
  public:
    StorageNode(const std::string& host, const char* user, const char* password, bool verbose);

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
    std::wstring Wide(const std::string& text);

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

// True for a non-empty name of letters, digits, ".", "-" and "_" only.
bool IsValidHostName(const std::string& name);

// The local time formatted by a printf format of year, month, day, hour, minute and second.
std::string LocalTimeStamp(const char* format);

}  // namespace launch
}  // namespace zep

#endif  // ZEP3D_LAUNCH_STORAGENODE_H_
