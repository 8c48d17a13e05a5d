// Fuzz target: any bytes as a Windows command line. The companions' splitter must give arguments that
// its quoting gives back unchanged, and the Linux route's reading of the launcher arguments must write
// them for the shell as exactly the same words.
#include <cstdlib>
#include <string>
#include <vector>

#include "CompanionText.h"
#include "FuzzDriver.h"
#include "ShellWords.h"
#include "launch/StorageNode.h"

void Fuzz(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    text = text.substr(0, text.find('\0'));
    const std::vector<std::string> args = zep::companions::SplitWindowsCommandLine(text.c_str());

    std::string joined;
    for (const std::string& arg : args)
        joined += (joined.empty() ? "" : " ") + zep::companions::QuoteWindowsArgument(arg);
    if (zep::companions::SplitWindowsCommandLine(joined.c_str()) != args) std::abort();

    // The route takes the backslash before the first "$" as the launcher file's mark of a plain "$".
    std::string marked = text;
    const size_t dollar = marked.find('$');
    if (dollar != std::string::npos) marked.insert(dollar, 1, '\\');
    const zep::testing::ShellCommand read =
        zep::testing::ReadShellCommand(zep::launch::ShellLauncherArguments(marked));
    if (!read.complete || !read.expansions.empty()) std::abort();
    std::vector<std::string> words;
    for (const auto& token : read.tokens) {
        if (token.op) std::abort();
        words.push_back(token.text);
    }
    if (words != args) std::abort();
}
