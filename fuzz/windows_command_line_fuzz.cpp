// Any bytes as a Windows command line. The companions' splitter must give arguments that its quoting
// gives back unchanged, and the Linux route's reading of the launcher arguments must write them for
// the shell as exactly the same words.
#include <vector>

#include "CompanionText.h"
#include "FuzzDriver.h"
#include "ShellWords.h"
#include "launch/StorageNode.h"

void Fuzz(const uint8_t* data, size_t size) {
    const std::string text = FuzzBytes(data, size).Text();
    const std::vector<std::string> args = zep::companions::SplitWindowsCommandLine(text.c_str());
    std::string joined;
    for (const std::string& arg : args)
        joined += (joined.empty() ? "" : " ") + zep::companions::QuoteWindowsArgument(arg);
    if (zep::companions::SplitWindowsCommandLine(joined.c_str()) != args) std::abort();

    // The route takes the backslash before the first "$" as the launcher file's mark of a plain "$".
    std::string marked = text;
    if (marked.find('$') != std::string::npos) marked.insert(marked.find('$'), 1, '\\');
    const zep::testing::ShellCommand read =
        zep::testing::ReadShellCommand(zep::launch::ShellLauncherArguments(marked));
    if (!read.complete || !read.expansions.empty()) std::abort();
    std::vector<std::string> words;
    // An operator matches no argument: none holds a zero byte.
    for (const auto& token : read.tokens) words.push_back(token.op ? std::string(1, '\0') : token.text);
    if (words != args) std::abort();
}
