// The storage node of the remote Linux route: SSH calls through the companion, the traced remote step,
// and the checks of what goes into a remote shell command.
#include "launch/StorageNode.h"

#include <cstdio>
#include <memory>

#include "ZEPSSH2Tool.h"
#include "platform/Platform.h"
#include "tools/Console.h"

namespace zep {
namespace launch {
namespace {

// The text companion converts into a fixed buffer of 32768 units; longer texts are converted piece by
// piece, each piece ending on a character boundary.
constexpr size_t kPieceBytes = 16384;

struct WideBuffer {
    wchar_t text[32768];
};

std::wstring WideTextOf(CZEPUnicodeTool& unicode, const std::string& text) {
    auto buffer = std::make_unique<WideBuffer>();
    std::wstring wide;
    size_t start = 0;
    do {
        size_t end = start;
        while (end < text.size() && end - start < kPieceBytes) {
            wchar_t c = 0;
            size_t used = zep::platform::DecodeCharacter(text.data() + end, text.size() - end, &c);
            end += used == 0 ? 1 : used;
        }
        const std::string piece = text.substr(start, end - start);
        *buffer = WideBuffer();
        unicode.AnsiToUtf16(piece.c_str(), buffer->text);
        buffer->text[32767] = 0;
        wide += buffer->text;
        start = end;
    } while (start < text.size());
    return wide;
}

}  // namespace

StorageNode::StorageNode(const std::string& host, const char* user, const char* password, bool verbose)
    : host_(host), verbose_(verbose) {
    wideHost_ = Wide(host);
    wideUser_ = Wide(user != nullptr ? user : "");
    widePassword_ = Wide(password != nullptr ? password : "");
}

std::wstring StorageNode::Wide(const std::string& text) { return WideTextOf(unicode_, text); }

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
        zep::tools::Print("strCommandLine=[%s]\n", command.c_str());
        zep::tools::Print("%s ... ", label);
    }
    const int result = node.Run(command, stdoutUtf8);
    if (trace) zep::tools::Print("%s", banner);
    if (result != 0) {
        zep::tools::Print("SSH2_RemoteCommandStdoutStderr(%s) failed, iErr=%d\n", label, result);
    } else if (trace) {
        zep::tools::Print("OK!\n");
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

bool IsValidHostName(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '.' && c != '-' && c != '_') return false;
    }
    return true;
}

std::string LocalTimeStamp(const char* format) {
    const zep::platform::LocalTime now = zep::platform::GetLocalTime();
    char text[64] = {0};
    std::snprintf(text, sizeof(text), format, now.year, now.month, now.day, now.hour, now.minute, now.second);
    return text;
}

}  // namespace launch
}  // namespace zep
