// The check of the remote commands of the Linux route against the values they carry.
#include "RemoteCommands.h"

#include "CompanionText.h"
#include "ShellWords.h"

namespace zep {
namespace testing {
namespace {

// Word tokens, but ">" and "&" as operators.
std::vector<ShellToken> Tokens(const std::vector<std::string>& texts) {
    std::vector<ShellToken> tokens;
    for (const std::string& text : texts) tokens.push_back({text == ">" || text == "&", text});
    return tokens;
}

std::string Describe(const std::vector<ShellToken>& tokens) {
    std::string text;
    for (const ShellToken& token : tokens) text += (token.op ? " op[" : " [") + token.text + "]";
    return text;
}

// The launcher's words as the launcher file gives them: its text read by the Windows rules, the
// backslash put before the first "$" taken out again.
std::vector<std::string> LauncherWords(std::string arguments) {
    const size_t dollar = arguments.find('$');
    if (dollar != std::string::npos && dollar > 0 && arguments[dollar - 1] == '\\')
        arguments.erase(dollar - 1, 1);
    return zep::companions::SplitWindowsCommandLine(arguments.c_str());
}

std::string ScriptPath(const std::string& home, const char* script) {
    std::string path = home + script;
    const size_t found = path.find("Tarvik3D");
    if (found != std::string::npos) path.replace(found, 8, "ZEPParallelService");
    return path;
}

}  // namespace

std::string CheckRemoteCommands(const CommandHandler& handler, const std::vector<std::string>& commands) {
    if (commands.empty()) return "";
    if (commands.size() != 11) return "expected 11 remote commands, got " + std::to_string(commands.size());
    const std::string home = handler.m_sLinZep3DHomeDir;
    const std::string machines = handler.m_sLinRunPath + "/machines.txt";
    std::string tasks;
    for (const std::string& host : handler.m_ppTaskHostName) tasks += host + "\\r\\n";
    const std::string hostsFile = ReadShellCommand(commands[3]).tokens.back().text;

    // What each command must read as, and what it may expand; the MPD ring's host text and count are
    // only checked for being one word each.
    const std::string range = std::to_string(handler.m_iMinPort) + ":" + std::to_string(handler.m_iMaxPort);
    const std::vector<std::string> tilde = {"~"};
    std::vector<std::pair<std::vector<ShellToken>, std::vector<std::string>>> expected = {
        {Tokens({"touch", "~/.mpd.conf"}), tilde},
        {Tokens({"echo", "MPD_PORT_RANGE=" + range, ">", "~/.mpd.conf"}), tilde},
        {Tokens({"chmod", "600", "~/.mpd.conf"}), tilde},
        {Tokens({"touch", hostsFile}), {}},
        {Tokens({"echo", "-e", "", ">", hostsFile}), {}},
        {Tokens({ScriptPath(home, "IntelMPI/mpdboot.py"), "-n", "", "-f", hostsFile, "-r", "rsh"}), {}},
        {Tokens({"rm", hostsFile}), {}},
        {Tokens({ScriptPath(home, "IntelMPI/mpdtrace.py")}), {}},
        {Tokens({"touch", machines}), {}},
        {Tokens({"echo", "-e", tasks, ">", machines}), {}},
        {Tokens({home + "/IntelMPI/mpiexec.py"}), {"$!"}}};
    for (const std::string& word : LauncherWords(handler.m_sLinMPIArgument))
        expected[10].first.push_back({false, word});
    for (const ShellToken& token : Tokens({"&", "echo", "<mpiexec>$!</mpiexec>"}))
        expected[10].first.push_back(token);

    for (size_t i = 0; i < commands.size(); ++i) {
        const ShellCommand read = ReadShellCommand(commands[i]);
        const std::string which = "command " + std::to_string(i) + " [" + commands[i] + "]";
        if (!read.complete) return which + " does not parse as shell";
        if (read.expansions != expected[i].second) {
            std::string found;
            for (const std::string& e : read.expansions) found += " " + e;
            return which + " expands:" + found;
        }
        std::vector<ShellToken> tokens = read.tokens;
        // Words whose value the ring's host table decides are taken as they are.
        if ((i == 4 || i == 5) && tokens.size() == expected[i].first.size()) tokens[2].text = "";
        if (!(tokens == expected[i].first))
            return which + " reads as" + Describe(read.tokens) + " instead of" + Describe(expected[i].first);
    }
    return "";
}

}  // namespace testing
}  // namespace zep
