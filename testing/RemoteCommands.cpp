// The check of the remote commands of the Linux route against the values they carry.
#include "RemoteCommands.h"

#include "CompanionText.h"
#include "ShellWords.h"

namespace zep {
namespace testing {
namespace {

ShellToken Op(const std::string& text) { return {true, text}; }
ShellToken Word(const std::string& text) { return {false, text}; }

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

    // What each command must read as; the MPD ring's host text is only checked for being one word.
    struct Expected {
        std::vector<ShellToken> tokens;
        std::vector<std::string> expansions;
    };
    std::vector<Expected> expected(11);
    expected[0] = {{Word("touch"), Word("~/.mpd.conf")}, {"~"}};
    expected[1] = {{Word("echo"),
                    Word("MPD_PORT_RANGE=" + std::to_string(handler.m_iMinPort) + ":" +
                         std::to_string(handler.m_iMaxPort)),
                    Op(">"), Word("~/.mpd.conf")},
                   {"~"}};
    expected[2] = {{Word("chmod"), Word("600"), Word("~/.mpd.conf")}, {"~"}};
    expected[3] = {{Word("touch"), Word(hostsFile)}, {}};
    expected[4] = {{Word("echo"), Word("-e"), Word(""), Op(">"), Word(hostsFile)}, {}};
    expected[5] = {{Word(ScriptPath(home, "IntelMPI/mpdboot.py")), Word("-n"), Word(""), Word("-f"),
                    Word(hostsFile), Word("-r"), Word("rsh")},
                   {}};
    expected[6] = {{Word("rm"), Word(hostsFile)}, {}};
    expected[7] = {{Word(ScriptPath(home, "IntelMPI/mpdtrace.py"))}, {}};
    expected[8] = {{Word("touch"), Word(machines)}, {}};
    expected[9] = {{Word("echo"), Word("-e"), Word(tasks), Op(">"), Word(machines)}, {}};
    std::vector<ShellToken> launch = {Word(home + "/IntelMPI/mpiexec.py")};
    for (const std::string& word : LauncherWords(handler.m_sLinMPIArgument)) launch.push_back(Word(word));
    for (const ShellToken& token : {Op("&"), Word("echo"), Word("<mpiexec>$!</mpiexec>")})
        launch.push_back(token);
    expected[10] = {launch, {"$!"}};

    for (size_t i = 0; i < commands.size(); ++i) {
        const ShellCommand read = ReadShellCommand(commands[i]);
        const std::string which = "command " + std::to_string(i) + " [" + commands[i] + "]";
        if (!read.complete) return which + " does not parse as shell";
        if (read.expansions != expected[i].expansions) {
            std::string found;
            for (const std::string& e : read.expansions) found += " " + e;
            return which + " expands:" + found;
        }
        std::vector<ShellToken> tokens = read.tokens;
        if (tokens.size() == expected[i].tokens.size()) {
            // Words whose value the ring's host table decides are taken as they are.
            if (i == 4) tokens[2].text = "";
            if (i == 5) tokens[2].text = "";
        }
        if (!(tokens == expected[i].tokens))
            return which + " reads as" + Describe(read.tokens) + " instead of" + Describe(expected[i].tokens);
    }
    return "";
}

}  // namespace testing
}  // namespace zep
