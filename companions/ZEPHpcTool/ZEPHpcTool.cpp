// The cluster job companion on Slurm: jobs submitted with sbatch, read back with scontrol (or, once
// the controller has forgotten them, from the job-completion file) and waited for by polling.
#include "ZEPHpcTool.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "SlurmJob.h"

using zep::companions::BuildSubmission;
using zep::companions::CommandResult;
using zep::companions::FillJobInfo;
using zep::companions::FindCompletedJob;
using zep::companions::IsFinalState;
using zep::companions::JobRequest;
using zep::companions::kHpcBadRequest;
using zep::companions::kHpcNoScheduler;
using zep::companions::kHpcOk;
using zep::companions::kHpcRefused;
using zep::companions::kHpcTimedOut;
using zep::companions::kHpcUnknownJob;
using zep::companions::kHpcUnreadable;
using zep::companions::LocalNodeName;
using zep::companions::ParseSlurmConfig;
using zep::companions::ParseSlurmFields;
using zep::companions::ParseSubmittedJobId;
using zep::companions::PauseMs;
using zep::companions::RemoveTemporaryFile;
using zep::companions::RunCommand;
using zep::companions::Submission;
using zep::companions::WriteTemporaryFile;

namespace {

constexpr int kSubmitTimeoutMs = 60000;
constexpr int kQueryTimeoutMs = 30000;
constexpr int kPollIntervalMs = 500;
// How long the wait goes on while the controller does not answer before it gives up.
constexpr int kUnansweredLimitMs = 60000;

// Reports a failure on standard error, unless `quiet` is given: the text is then kept there.
int Fail(const char* operation, int code, const std::string& why, std::string* quiet = nullptr) {
    if (quiet != nullptr) {
        *quiet = why;
        return code;
    }
    std::fprintf(stderr, "CZEPHpcTool::%s()-%s\n", operation, why.c_str());
    std::fflush(stderr);
    return code;
}

// The code and message for a Slurm command that did not succeed.
int CommandFailure(const char* operation, const std::string& program, const CommandResult& result,
                   std::string* quiet = nullptr) {
    if (!result.started) {
        return Fail(operation, kHpcNoScheduler,
                    "Slurm is not available on this machine (" + program + ": " + result.startError + ")",
                    quiet);
    }
    if (result.timedOut) return Fail(operation, kHpcTimedOut, program + " did not answer in time", quiet);
    std::string why = result.err;
    while (!why.empty() && (why.back() == '\n' || why.back() == '\r')) why.pop_back();
    return Fail(operation, kHpcRefused,
                program + " failed (" + std::to_string(result.exitStatus) + "): " + why, quiet);
}

bool ReadWholeFile(const std::string& path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    *text = content.str();
    return true;
}

// The finished job's line of the job-completion file, when Slurm keeps one.
bool ReadCompletedJob(long jobId, std::map<std::string, std::string>* fields) {
    CommandResult config = RunCommand({"scontrol", "show", "config"}, kQueryTimeoutMs);
    if (!config.started || config.timedOut || config.exitStatus != 0) return false;
    std::map<std::string, std::string> settings = ParseSlurmConfig(config.out);
    if (settings["JobCompType"] != "jobcomp/filetxt" || settings["JobCompLoc"].empty()) return false;
    std::string text;
    if (!ReadWholeFile(settings["JobCompLoc"], &text)) return false;
    std::string line = FindCompletedJob(text, jobId);
    if (line.empty()) return false;
    *fields = ParseSlurmFields(line);
    return true;
}

// What Slurm says of a job: 0 with info filled, or a failure code, reported or (quiet) kept.
int QueryJob(long jobId, CZEPHPCJobInfoMessage& info, const char* operation, std::string* quiet = nullptr) {
    CommandResult result =
        RunCommand({"scontrol", "show", "job", "-o", std::to_string(jobId)}, kQueryTimeoutMs);
    std::map<std::string, std::string> fields;
    if (result.started && !result.timedOut && result.exitStatus == 0) {
        fields = ParseSlurmFields(result.out);
    } else if (result.started && !result.timedOut && result.err.find("Invalid job id") != std::string::npos) {
        // The controller forgets finished jobs after MinJobAge; the completion file still has them.
        if (!ReadCompletedJob(jobId, &fields)) {
            return Fail(operation, kHpcUnknownJob, "Slurm knows no job " + std::to_string(jobId), quiet);
        }
    } else {
        return CommandFailure(operation, "scontrol", result, quiet);
    }
    if (!FillJobInfo(fields, info))
        return Fail(operation, kHpcUnreadable, "cannot read scontrol's answer", quiet);
    return kHpcOk;
}

std::string OrUnknown(const std::string& text) { return text.empty() ? std::string("Unknown") : text; }

}  // namespace

// ---- CZEPHPCJobInfoMessage ------------------------------------------------------------------------

CZEPHPCJobInfoMessage::CZEPHPCJobInfoMessage() : m_lJobID(-1), m_eState(ZEP_JOB_UNKNOWN) {}
CZEPHPCJobInfoMessage::~CZEPHPCJobInfoMessage() {}

// Job id, name, state, nodes, submit and start time.
const char* CZEPHPCJobInfoMessage::PrintJobBasicStartInfo() {
    try {
        m_sText = "Job " + std::to_string(m_lJobID) + " \"" + m_sJobName + "\": state " +
                  OrUnknown(m_sState) + ", nodes " + OrUnknown(m_sNodes) + ", submitted " +
                  OrUnknown(m_sSubmitTime) + ", started " + OrUnknown(m_sStartTime);
    } catch (...) {
        m_sText.clear();
    }
    return m_sText.c_str();
}

// Job id, name, state, nodes, start and end time, exit code.
const char* CZEPHPCJobInfoMessage::PrintJobBasicEndInfo() {
    try {
        m_sText = "Job " + std::to_string(m_lJobID) + " \"" + m_sJobName + "\": state " +
                  OrUnknown(m_sState) + ", nodes " + OrUnknown(m_sNodes) + ", started " +
                  OrUnknown(m_sStartTime) + ", ended " + OrUnknown(m_sEndTime) + ", exit code " +
                  OrUnknown(m_sExitCode);
    } catch (...) {
        m_sText.clear();
    }
    return m_sText.c_str();
}

// ---- CZEPHpcTool ----------------------------------------------------------------------------------

CZEPHpcTool::CZEPHpcTool() {}
CZEPHpcTool::~CZEPHpcTool() {}

// The job runs under the calling user's own Slurm identity: the account and the scheduler name are
// not needed. Failures are also reported on standard error.
int CZEPHpcTool::HPC_CreateJob(long& jobId, const char* user, const char* password, const char* jobName,
                               ComputingMode mode, int nodeCount, char* const nodeNames[],
                               const int taskCounts[], const char* exePath, const char* arguments,
                               const char* workFolder, const char* stdoutPath, const char* stderrPath,
                               const char* scheduler) {
    (void)user;
    (void)password;
    (void)scheduler;
    const char* operation = "HPC_CreateJob";
    try {
        if (nodeCount < 1 || nodeNames == nullptr || taskCounts == nullptr) {
            return Fail(operation, kHpcBadRequest, "the job has no nodes");
        }
        JobRequest request;
        request.jobName = jobName != nullptr ? jobName : "";
        request.mode = mode;
        for (int i = 0; i < nodeCount; ++i) {
            request.nodeNames.push_back(nodeNames[i] != nullptr ? nodeNames[i] : "");
            request.taskCounts.push_back(taskCounts[i]);
        }
        request.exePath = exePath != nullptr ? exePath : "";
        request.arguments = arguments != nullptr ? arguments : "";
        request.workFolder = workFolder != nullptr ? workFolder : "";
        request.stdoutPath = stdoutPath != nullptr ? stdoutPath : "";
        request.stderrPath = stderrPath != nullptr ? stderrPath : "";

        Submission submission;
        std::string why;
        if (!BuildSubmission(request, LocalNodeName(), &submission, &why)) {
            return Fail(operation, kHpcBadRequest, why);
        }
        std::string script = WriteTemporaryFile(submission.script);
        if (script.empty()) return Fail(operation, kHpcBadRequest, "cannot write the batch script");
        std::vector<std::string> argv = {"sbatch"};
        argv.insert(argv.end(), submission.options.begin(), submission.options.end());
        argv.push_back(script);
        CommandResult result = RunCommand(argv, kSubmitTimeoutMs);
        RemoveTemporaryFile(script);  // sbatch keeps its own copy
        if (!result.started || result.timedOut || result.exitStatus != 0) {
            return CommandFailure(operation, "sbatch", result);
        }
        long id = ParseSubmittedJobId(result.out);
        if (id < 0)
            return Fail(operation, kHpcUnreadable, "cannot read sbatch's answer \"" + result.out + "\"");
        jobId = id;
        return kHpcOk;
    } catch (...) {
        return Fail(operation, kHpcBadRequest, "out of memory");
    }
}

int CZEPHpcTool::HPC_GetJobInfo(const long& jobId, CZEPHPCJobInfoMessage& info, const char* scheduler) {
    (void)scheduler;
    try {
        return QueryJob(jobId, info, "HPC_GetJobInfo");
    } catch (...) {
        return Fail("HPC_GetJobInfo", kHpcUnreadable, "out of memory");
    }
}

// Polls the job until it has ended; a controller that stops answering ends the wait with its failure
// after a minute, so the caller is never held forever by a dead cluster. The output folder and the
// node name are not needed on Slurm.
int CZEPHpcTool::HPC_WaitJobToFinish(const long& jobId, ZEPJobState& state, const char* workFolder,
                                     const char* nodeName, const char* scheduler) {
    (void)workFolder;
    (void)nodeName;
    (void)scheduler;
    const char* operation = "HPC_WaitJobToFinish";
    try {
        state = ZEP_JOB_UNKNOWN;
        auto lastAnswer = std::chrono::steady_clock::now();
        for (;;) {
            CZEPHPCJobInfoMessage info;
            int rc = QueryJob(jobId, info, operation);
            if (rc == kHpcOk) {
                lastAnswer = std::chrono::steady_clock::now();
                state = info.m_eState;
                if (IsFinalState(state)) return kHpcOk;
            } else if (rc == kHpcNoScheduler || rc == kHpcUnknownJob || rc == kHpcUnreadable) {
                return rc;
            } else if (std::chrono::steady_clock::now() - lastAnswer >
                       std::chrono::milliseconds(kUnansweredLimitMs)) {
                return rc;
            }
            PauseMs(kPollIntervalMs);
        }
    } catch (...) {
        return Fail(operation, kHpcUnreadable, "out of memory");
    }
}
