// The check of the remote commands of the Linux route for the tests and the fuzz target: every command
// that the SSH companion double received is read as the node's shell reads it, and the words that carry
// values of the run must be exactly those values, with nothing expanded but the designed "~" and "$!".
#ifndef ZEP3D_TESTING_REMOTECOMMANDS_H_
#define ZEP3D_TESTING_REMOTECOMMANDS_H_

#include <string>
#include <vector>

#include "tools/CommandHandler.h"

namespace zep {
namespace testing {

// Checks the commands sent to the storage node by one whole route (the background launch last) against the
// handler's values (home folder, run folder, task hosts, launcher arguments). Returns an empty text when
// every command is as designed, otherwise a description of the first that is not. No commands (a refused run)
// pass.
std::string CheckRemoteCommands(const CommandHandler& handler, const std::vector<std::string>& commands);

}  // namespace testing
}  // namespace zep

#endif  // ZEP3D_TESTING_REMOTECOMMANDS_H_
