// A small reader of POSIX shell command lines for the tests and the fuzz target of the remote
// commands: it splits a command into words and operators as the shell does and lists everything the
// shell would expand, so a test can tell literal text from code.
#ifndef ZEP3D_TESTING_SHELLWORDS_H_
#define ZEP3D_TESTING_SHELLWORDS_H_

#include <string>
#include <vector>

namespace zep {
namespace testing {

struct ShellToken {
    bool op = false;   // an operator character (";", "&", "|", ">", "(", "#", a line end as "\n", ...)
    std::string text;  // the operator, or the word after quote removal (expansions kept as written)

    bool operator==(const ShellToken& other) const { return op == other.op && text == other.text; }
};

struct ShellCommand {
    bool complete = false;                // every quote closed, no backslash at the very end
    std::vector<ShellToken> tokens;       // in order; a "#" comment ends the command
    std::vector<std::string> expansions;  // "$(", "${", "$name", "$!", "`", "~", "*", "?", "[", "{"
};

// Reads `command` as a POSIX shell reads one line of input (no aliases, no here-documents).
ShellCommand ReadShellCommand(const std::string& command);

}  // namespace testing
}  // namespace zep

#endif  // ZEP3D_TESTING_SHELLWORDS_H_
