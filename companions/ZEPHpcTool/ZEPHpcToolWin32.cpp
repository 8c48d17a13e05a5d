// The cluster job companion in the Windows build has no scheduler backend: every Slurm command is
// reported as not available, so the operations return their "no scheduler" code at once.
#include <windows.h>

#include "SlurmJob.h"

namespace zep {
namespace companions {

CommandResult RunCommand(const std::vector<std::string>& argv, int timeoutMs) {
    (void)argv;
    (void)timeoutMs;
    CommandResult result;
    result.startError = "no cluster scheduler backend in this build";
    return result;
}

std::string WriteTemporaryFile(const std::string& text) {
    (void)text;
    return "unused";
}

void RemoveTemporaryFile(const std::string& path) { (void)path; }

std::string LocalNodeName() { return "localhost"; }

void PauseMs(int ms) { Sleep(static_cast<DWORD>(ms)); }

}  // namespace companions
}  // namespace zep
