// The storage node of the remote Linux route: SSH calls through the companion, the traced remote step,
// and the checks of what goes into a remote shell command.
#include "launch/StorageNode.h"

#include <cstdio>
#include <cstring>

#include "ZEPSSH2Tool.h"
#include "platform/Console.h"
#include "platform/Platform.h"
#include "tools/CompanionText.h"

namespace zep {
namespace launch {
namespace {

// Characters that a POSIX shell takes as themselves anywhere in an unquoted word.
bool IsPlainShellCharacter(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u >= 0x80) return true;
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
    return std::strchr("/._-+,:@%^=", c) != nullptr && c != 0;
}

// The end of the launcher argument that starts at `start`, and the argument itself, by the Windows
// rules: blanks end it outside double quotes; a double quote opens or closes a quoted part, two of them
// inside one give a literal double quote; 2n backslashes before a double quote give n backslashes and
// the quote keeps its meaning, 2n+1 give n backslashes and a literal double quote; other backslashes
// are literal.
size_t ScanWindowsArgument(const std::string& text, size_t start, std::string& word) {
    word.clear();
    bool quoted = false;
    size_t p = start;
    while (p < text.size()) {
        const char c = text[p];
        if (!quoted && (c == ' ' || c == '\t')) break;
        if (c == '\\') {
            size_t count = 0;
            while (p < text.size() && text[p] == '\\') {
                ++count;
                ++p;
            }
            if (p < text.size() && text[p] == '"') {
                word.append(count / 2, '\\');
                if (count % 2 == 1) {
                    word += '"';
                    ++p;
                }
            } else {
                word.append(count, '\\');
            }
            continue;
        }
        if (c == '"') {
            if (quoted && p + 1 < text.size() && text[p + 1] == '"') {
                word += '"';
                p += 2;
            } else {
                quoted = !quoted;
                ++p;
            }
            continue;
        }
        word += c;
        ++p;
    }
    return p;
}

// True when the shell reads the bytes of `segment` as exactly `word`: plain characters, with double
// quotes only in pairs that group and nothing inside them that the shell would expand or unescape.
bool ShellReadsAs(const std::string& segment, const std::string& word) {
    std::string read;
    bool quoted = false;
    for (size_t i = 0; i < segment.size(); ++i) {
        const char c = segment[i];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (c == '$' || c == '`' || c == 0) return false;
        // Inside double quotes a backslash before anything but these stands for itself, as it does
        // for the launcher when no double quote follows it (a Windows path such as "C:\App\").
        if (c == '\\' &&
            (!quoted || i + 1 >= segment.size() || std::strchr("\\\"$`\n", segment[i + 1]) != nullptr))
            return false;
        if (!quoted && !IsPlainShellCharacter(c)) return false;
        read += c;
    }
    return !quoted && read == word;
}

}  // namespace

StorageNode::StorageNode(const std::string& host, const char* user, const char* password, bool verbose)
    : host_(host), verbose_(verbose) {
    wideHost_ = Wide(host);
    wideUser_ = Wide(user != nullptr ? user : "");
    std::string secret = password != nullptr ? password : "";
    widePassword_ = Wide(secret, true);
    zep::platform::SecureWipe(secret);
}

StorageNode::~StorageNode() { zep::platform::SecureWipe(widePassword_); }

std::wstring StorageNode::Wide(const std::string& text, bool secret) {
    return zep::tools::WideText(unicode_, text, secret);
}

int StorageNode::CheckConnection() {
    CZEPSSH2Tool ssh;
    return ssh.SSH2_CheckConnection(wideHost_.c_str(), wideUser_.c_str(), widePassword_.c_str());
}

int StorageNode::Run(const std::string& command, std::string* stdoutUtf8) {
    const std::wstring wideCommand = Wide(command);
    wchar_t* out = nullptr;
    wchar_t* err = nullptr;
    int exitCode = 0;
    int result;
    {
        CZEPSSH2Tool ssh;
        result =
            ssh.SSH2_RemoteCommandStdoutStderr(wideHost_.c_str(), wideUser_.c_str(), widePassword_.c_str(),
                                               wideCommand.c_str(), out, err, exitCode, verbose_, false);
    }
    if (stdoutUtf8 != nullptr) {
        char* narrow = nullptr;
        unicode_.Utf16ToUtf8(out, narrow);
        *stdoutUtf8 = narrow != nullptr ? narrow : "";
        delete[] narrow;
    }
    delete[] out;
    delete[] err;
    return result;
}

int StorageNode::RunToFile(const std::string& command, const std::string& consoleFile,
                           const std::string& pidFile, bool redirectConsole, int* companionResult) {
    const std::wstring wideCommand = Wide(command);
    const std::wstring wideConsole = Wide(consoleFile);
    const std::wstring widePid = Wide(pidFile);
    int exitCode = 0;
    CZEPSSH2Tool ssh;
    const int result = ssh.SSH2_RemoteCommandOutputToFile(
        wideHost_.c_str(), wideUser_.c_str(), widePassword_.c_str(), wideCommand.c_str(), wideConsole.c_str(),
        widePid.c_str(), exitCode, redirectConsole, true, verbose_);
    if (companionResult != nullptr) *companionResult = result;
    return exitCode;
}

int RunRemoteStep(StorageNode& node, bool trace, const std::string& command, const char* label,
                  const char* banner, std::string* stdoutUtf8) {
    if (trace) {
        zep::platform::Print("strCommandLine=[%s]\n", command.c_str());
        zep::platform::Print("%s ... ", label);
    }
    const int result = node.Run(command, stdoutUtf8);
    if (trace) zep::platform::Print("%s", banner);
    if (result != 0) {
        zep::platform::Print("SSH2_RemoteCommandStdoutStderr(%s) failed, iErr=%d\n", label, result);
    } else if (trace) {
        zep::platform::Print("OK!\n");
    }
    return result;
}

std::string EscapeForDoubleQuotes(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        if (c == '"' || c == '$' || c == '`' || c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string EscapeShellWord(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            // A backslash before a line end would join two lines instead.
            escaped += '\'';
            escaped += c;
            escaped += '\'';
            continue;
        }
        if (!IsPlainShellCharacter(c)) escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string ShellLauncherArguments(const std::string& arguments) {
    std::string text = arguments;
    const size_t dollar = text.find('$');
    if (dollar != std::string::npos && dollar > 0 && text[dollar - 1] == '\\') text.erase(dollar - 1, 1);

    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::string word;
    size_t p = 0;
    while (p < text.size()) {
        if (text[p] == ' ' || text[p] == '\t') {
            out += text[p++];
            continue;
        }
        const size_t end = ScanWindowsArgument(text, p, word);
        const std::string segment = text.substr(p, end - p);
        if (ShellReadsAs(segment, word)) {
            out += segment;
        } else {
            out += '"' + EscapeForDoubleQuotes(word) + '"';
        }
        p = end;
    }
    return out;
}

bool IsAbsolutePosixPath(const std::string& path) {
    return !path.empty() && path[0] == '/' && path.find('\0') == std::string::npos;
}

bool IsValidHostName(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '.' && c != '-' && c != '_') return false;
    }
    return true;
}

std::string StorageHostOf(const std::vector<std::string>& taskHosts) {
    return taskHosts.empty() ? std::string() : taskHosts[0];
}

bool CheckRemoteTargets(const std::vector<std::string>& taskHosts, const std::string& nodeFolder,
                        const char* operation, const char* outcome) {
    const char* problem = nullptr;
    std::string value = StorageHostOf(taskHosts);
    if (!IsValidHostName(value)) problem = "a valid host name";
    for (size_t k = 1; problem == nullptr && k < taskHosts.size(); ++k) {
        if (!taskHosts[k].empty() && !IsValidHostName(taskHosts[k])) {
            problem = "a valid host name";
            value = taskHosts[k];
        }
    }
    if (problem == nullptr && !IsAbsolutePosixPath(nodeFolder)) {
        problem = "an absolute POSIX path";
        value = nodeFolder;
    }
    if (problem == nullptr) return true;
    zep::platform::Print("%s failed: [%s] is not %s; %s.\n", operation, value.c_str(), problem, outcome);
    zep::platform::Flush();
    return false;
}

std::string LocalTimeStamp(const char* format) {
    const zep::platform::LocalTime now = zep::platform::GetLocalTime();
    char text[64] = {0};
    std::snprintf(text, sizeof(text), format, now.year, now.month, now.day, now.hour, now.minute, now.second);
    return text;
}

}  // namespace launch
}  // namespace zep
