// The cluster job companion on Windows has no Slurm of its own: its jobs go to a head node over SSH.
#include "SlurmJob.h"

namespace zep {
namespace companions {

std::unique_ptr<SlurmHost> NewLocalSlurmHost() { return nullptr; }

}  // namespace companions
}  // namespace zep
