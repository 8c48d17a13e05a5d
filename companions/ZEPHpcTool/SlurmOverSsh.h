// Slurm on the cluster's head node, reached over SSH with the account that the job was created with:
// the head node named by the companion's configuration, and the remote command lines.
#ifndef ZEP3D_COMPANIONS_ZEPHPCTOOL_SLURMOVERSSH_H_
#define ZEP3D_COMPANIONS_ZEPHPCTOOL_SLURMOVERSSH_H_

#include <memory>
#include <string>
#include <vector>

#include "CompanionSecret.h"
#include "SlurmJob.h"

namespace zep {
namespace companions {

struct HeadNode {
    std::string host;
    int port = 22;
};

// Reads "host", "host:port" or "[address]:port"; false when the text names no head node (empty, or a
// port outside 1 to 65535).
bool ParseHeadNode(const std::string& text, HeadNode* node);

// The account that logs in to the head node; the password is wiped when the last user lets it go.
struct HeadNodeAccount {
    HeadNode node;
    std::string user;
    SecretText password;  // UTF-8
};

// One POSIX shell command line that runs argv, every word quoted.
std::string ShellCommandLine(const std::vector<std::string>& argv);

// The command line that hands the batch script to sbatch on its standard input.
std::string RemoteSubmitCommand(const std::vector<std::string>& options, const std::string& script);

// Slurm's commands run on the head node over SSH; paths are given to it with "/" for every backslash,
// and "this machine" is any one node of the cluster.
std::unique_ptr<SlurmHost> NewSshSlurmHost(std::shared_ptr<const HeadNodeAccount> account);

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_ZEPHPCTOOL_SLURMOVERSSH_H_
