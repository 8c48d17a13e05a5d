// The cluster job companion on Windows has no Slurm of its own: its jobs go to a head node over SSH.
#include <windows.h>

#include "SlurmJob.h"

namespace zep {
namespace companions {

std::unique_ptr<SlurmHost> NewLocalSlurmHost() { return nullptr; }

void PauseMs(int ms) { Sleep(static_cast<DWORD>(ms)); }

}  // namespace companions
}  // namespace zep
