// The cluster job companion's inner parts: the Slurm submission built from the library's job request,
// the reading of Slurm's job records, and the host that runs Slurm's commands: this machine (one
// implementation per system: ZEPHpcToolPosix.cpp, ZEPHpcToolWin32.cpp) or the cluster's head node over
// SSH (SlurmOverSsh.cpp).
#ifndef ZEP3D_COMPANIONS_ZEPHPCTOOL_SLURMJOB_H_
#define ZEP3D_COMPANIONS_ZEPHPCTOOL_SLURMJOB_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ZEPHpcTool.h"

namespace zep {
namespace companions {

// Result codes of the cluster job companion (0 is success).
enum HpcResult {
    kHpcOk = 0,
    kHpcNoScheduler = -1,  // Slurm's commands cannot be run on this machine (or there is no backend)
    kHpcBadRequest = -2,   // the job request cannot be turned into a Slurm job
    kHpcRefused = -3,      // a Slurm command failed (the controller refused or cannot be reached)
    kHpcTimedOut = -4,     // a Slurm command did not end in time
    kHpcUnreadable = -5,   // Slurm's answer could not be read
    kHpcUnknownJob = -6,   // Slurm knows no such job, not even among the finished ones
};

// What the library asks for, in its own forms.
struct JobRequest {
    std::string jobName;
    ComputingMode mode = ZEP_COMPUTING_SINGLE_NODE;
    std::vector<std::string> nodeNames;  // one per node entry, entries with no tasks included
    std::vector<int> taskCounts;
    std::string exePath;
    std::string arguments;  // one command line, split by the Windows rules
    std::string workFolder;
    std::string stdoutPath;
    std::string stderrPath;
};

// The sbatch options and the batch script of one job.
struct Submission {
    std::vector<std::string> options;
    std::string script;
};

// Builds the submission: node names "127.0.0.1" and "localhost" become `localNode` (when it is empty,
// such a node is any one node that Slurm chooses, and the job may name no other), paths built with
// backslashes are mapped, "%" in the output paths is kept literal, entries without tasks are left out,
// and the script starts every task with srun (on the node of each task when the counts per node
// differ). Returns false with `error` set when the request cannot be submitted.
bool BuildSubmission(const JobRequest& request, const std::string& localNode, Submission* out,
                     std::string* error);

// The job id at the start of sbatch --parsable's answer ("42" or "42;cluster"), or -1.
long ParseSubmittedJobId(const std::string& answer);

// The "Key=Value" fields of a Slurm record (scontrol show job, one line or several, or a line of the
// job-completion file). A key starts with an upper-case letter after a blank or the start of a line;
// a value runs to the next key, blanks inside it kept.
std::map<std::string, std::string> ParseSlurmFields(const std::string& text);

// The "Key = Value" lines of scontrol show config.
std::map<std::string, std::string> ParseSlurmConfig(const std::string& text);

// The last line of a job-completion file that records `jobId`, or the empty text.
std::string FindCompletedJob(const std::string& fileText, long jobId);

// Fills `info` from the fields of one job record (JobName or Name, JobState, NodeList, the times,
// ExitCode). Returns false when the record names no job.
bool FillJobInfo(const std::map<std::string, std::string>& fields, CZEPHPCJobInfoMessage& info);

// The fields of the first line of `sacct --parsable2 --noheader` with the columns JobID, JobName, State,
// NodeList, Submit, Start, End and ExitCode, under the keys of scontrol's records; empty when the answer
// names no job.
std::map<std::string, std::string> ParseSacctJob(const std::string& text);

// The companion's state for a Slurm job state ("COMPLETED", "RUNNING", ...).
ZEPJobState StateFromSlurm(const std::string& state);

// True for the states of a job that has ended.
bool IsFinalState(ZEPJobState state);

// ---- Where Slurm's commands run -------------------------------------------------------------------

struct CommandResult {
    bool started = false;    // false: the program could not be run (missing, no backend)
    std::string startError;  // why it could not be run
    bool timedOut = false;   // killed after the time limit, or its host stopped answering
    int exitStatus = -1;     // the program's exit status when it ended normally
    std::string out;         // standard output (capped)
    std::string err;         // standard error (capped)
};

class SlurmHost {
  public:
    virtual ~SlurmHost() = default;

    // Runs a Slurm program (argv[0], found in the host's PATH) with the arguments, standard input empty,
    // and waits at most `timeoutMs` for it.
    virtual CommandResult Run(const std::vector<std::string>& argv, int timeoutMs) = 0;

    // Runs sbatch with the options and the batch script.
    virtual CommandResult Submit(const std::vector<std::string>& options, const std::string& script,
                                 int timeoutMs) = 0;

    // The lines of the job-completion file at `path` (on the host) that may record `jobId`; false when
    // the file cannot be read.
    virtual bool ReadCompletedJobLines(const std::string& path, long jobId, std::string* text) = 0;

    // The node that "127.0.0.1" and "localhost" stand for, or the empty text for any one node.
    virtual std::string LocalNode() = 0;

    // A path as the library builds it, as the host's Slurm sees it.
    virtual std::string NodePath(const std::string& path) = 0;
};

// Slurm on this machine, or null where this build has none (Windows).
std::unique_ptr<SlurmHost> NewLocalSlurmHost();

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_ZEPHPCTOOL_SLURMJOB_H_
