// The cluster job companion on Slurm: jobs submitted with sbatch, read back with scontrol (or, once
// the controller has forgotten them, with sacct or from the job-completion file) and waited for by
// polling; on this machine, or on the cluster's head node over SSH when the configuration names one.
#include "ZEPHpcTool.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "CompanionSecret.h"
#include "CompanionText.h"
#include "SlurmJob.h"
#include "SlurmOverSsh.h"

using zep::companions::BuildSubmission;
using zep::companions::CommandResult;
using zep::companions::FillJobInfo;
using zep::companions::FindCompletedJob;
using zep::companions::HeadNode;
using zep::companions::HeadNodeAccount;
using zep::companions::IsFinalState;
using zep::companions::JobRequest;
using zep::companions::kHpcBadRequest;
using zep::companions::kHpcNoScheduler;
using zep::companions::kHpcOk;
using zep::companions::kHpcRefused;
using zep::companions::kHpcTimedOut;
using zep::companions::kHpcUnknownJob;
using zep::companions::kHpcUnreadable;
using zep::companions::ParseSacctJob;
using zep::companions::ParseSlurmConfig;
using zep::companions::ParseSlurmFields;
using zep::companions::ParseSubmittedJobId;
using zep::companions::SlurmHost;
using zep::companions::Submission;

namespace {

constexpr int kSubmitTimeoutMs = 60000;
constexpr int kQueryTimeoutMs = 30000;
constexpr int kPollIntervalMs = 500;
// How long the wait goes on while the controller does not answer before it gives up.
constexpr int kUnansweredLimitMs = 60000;
// Accounts of jobs created over SSH kept for the later calls on them.
constexpr size_t kKeptAccounts = 16;

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

bool Succeeded(const CommandResult& result) {
    return result.started && !result.timedOut && result.exitStatus == 0;
}

// ---- Where the jobs go ------------------------------------------------------------------------------

std::mutex g_mutex;
bool g_headNodeSet = false;
std::string g_headNode;
std::map<long, std::shared_ptr<const HeadNodeAccount>> g_accounts;
std::deque<long> g_accountOrder;

// The head node named by HPC_SetHeadNode or, when that was never called, by ZEP_HPC_HEAD_NODE.
std::string HeadNodeText() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_headNodeSet) return g_headNode;
    const char* text = std::getenv("ZEP_HPC_HEAD_NODE");
    return text != nullptr ? std::string(text) : std::string();
}

const char kHowToName[] =
    "set the environment variable ZEP_HPC_HEAD_NODE, or call CZEPHpcTool::HPC_SetHeadNode(), to the "
    "cluster's "
    "head node (\"host\" or \"host:port\"); the jobs are then submitted to it over SSH";

// The head node when one is named: 1 with `node` set, 0 when none is named, -1 when the text is not
// a head node (reported).
int NamedHeadNode(const char* operation, HeadNode* node) {
    std::string text = HeadNodeText();
    if (text.empty()) return 0;
    if (!zep::companions::ParseHeadNode(text, node)) {
        Fail(operation, kHpcNoScheduler, "the head node \"" + text + "\" is not a host or host:port");
        return -1;
    }
    return 1;
}

// Where a call goes: true with `node` set when a head node is named. Otherwise false with `local` set to
// Slurm on this machine, or left null with `code` set (and reported) when there is none here or the
// named head node is not one.
bool HeadNodeOrLocal(const char* operation, HeadNode* node, std::unique_ptr<SlurmHost>* local, int* code) {
    int named = NamedHeadNode(operation, node);
    if (named > 0) return true;
    if (named < 0) {
        *code = kHpcNoScheduler;
        return false;
    }
    *local = zep::companions::NewLocalSlurmHost();
    if (*local == nullptr)
        *code = Fail(operation, kHpcNoScheduler, std::string("no cluster head node is named: ") + kHowToName);
    return false;
}

// The host that submits a new job, logged in with the job's account when it is the head node.
std::unique_ptr<SlurmHost> HostForNewJob(const char* operation, const char* user, const char* password,
                                         std::shared_ptr<const HeadNodeAccount>* account, int* code) {
    HeadNode node;
    std::unique_ptr<SlurmHost> local;
    if (!HeadNodeOrLocal(operation, &node, &local, code)) return local;
    auto own = std::make_shared<HeadNodeAccount>();
    own->node = node;
    own->user = zep::companions::WideToUtf8(zep::companions::SystemToWide(user));
    zep::companions::SystemToUtf8Secret(password, own->password);
    *account = own;
    return zep::companions::NewSshSlurmHost(own);
}

// The host that knows a job: the head node with the account the job was created with, or this machine.
std::unique_ptr<SlurmHost> HostForJob(const char* operation, long jobId, int* code) {
    HeadNode node;
    std::unique_ptr<SlurmHost> local;
    if (!HeadNodeOrLocal(operation, &node, &local, code)) return local;
    std::shared_ptr<const HeadNodeAccount> account;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto found = g_accounts.find(jobId);
        if (found != g_accounts.end()) account = found->second;
    }
    if (account == nullptr) {
        *code =
            Fail(operation, kHpcUnknownJob,
                 "job " + std::to_string(jobId) +
                     " was not created by this process, so there is no account to log in to the head node");
        return nullptr;
    }
    return zep::companions::NewSshSlurmHost(account);
}

void KeepAccount(long jobId, std::shared_ptr<const HeadNodeAccount> account) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_accounts[jobId] = std::move(account);
    g_accountOrder.push_back(jobId);
    while (g_accountOrder.size() > kKeptAccounts) {
        g_accounts.erase(g_accountOrder.front());  // its password is wiped when no call uses it any more
        g_accountOrder.pop_front();
    }
}

// ---- Reading a job back -----------------------------------------------------------------------------

// The finished job's record from accounting (sacct), when the cluster keeps it.
bool ReadAccountedJob(SlurmHost& host, long jobId, std::map<std::string, std::string>* fields) {
    CommandResult result =
        host.Run({"sacct", "--noheader", "--parsable2", "--allocations", "--jobs", std::to_string(jobId),
                  "--format", "JobID,JobName,State,NodeList,Submit,Start,End,ExitCode"},
                 kQueryTimeoutMs);
    if (!Succeeded(result)) return false;
    *fields = ParseSacctJob(result.out);
    return !fields->empty();
}

// The finished job's line of the job-completion file, when Slurm keeps one.
bool ReadCompletedJob(SlurmHost& host, long jobId, std::map<std::string, std::string>* fields) {
    CommandResult config = host.Run({"scontrol", "show", "config"}, kQueryTimeoutMs);
    if (!Succeeded(config)) return false;
    std::map<std::string, std::string> settings = ParseSlurmConfig(config.out);
    if (settings["JobCompType"] != "jobcomp/filetxt" || settings["JobCompLoc"].empty()) return false;
    std::string text;
    if (!host.ReadCompletedJobLines(settings["JobCompLoc"], jobId, &text)) return false;
    std::string line = FindCompletedJob(text, jobId);
    if (line.empty()) return false;
    *fields = ParseSlurmFields(line);
    return true;
}

// What Slurm says of a job: 0 with info filled, or a failure code, reported or (quiet) kept.
int QueryJob(SlurmHost& host, long jobId, CZEPHPCJobInfoMessage& info, const char* operation,
             std::string* quiet = nullptr) {
    CommandResult result =
        host.Run({"scontrol", "show", "job", "-o", std::to_string(jobId)}, kQueryTimeoutMs);
    std::map<std::string, std::string> fields;
    if (Succeeded(result)) {
        fields = ParseSlurmFields(result.out);
    } else if (result.started && !result.timedOut && result.err.find("Invalid job id") != std::string::npos) {
        // The controller forgets finished jobs after MinJobAge; accounting or the completion file may
        // still have them.
        if (!ReadAccountedJob(host, jobId, &fields) && !ReadCompletedJob(host, jobId, &fields)) {
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

void CZEPHpcTool::HPC_SetHeadNode(const char* headNode) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_headNodeSet = headNode != nullptr;
    g_headNode = headNode != nullptr ? headNode : "";
}

// On this machine the job runs under the calling user's own Slurm identity and the account is not
// needed; on a head node the account logs in over SSH. The scheduler name is not needed. Failures are
// also reported on standard error.
int CZEPHpcTool::HPC_CreateJob(long& jobId, const char* user, const char* password, const char* jobName,
                               ComputingMode mode, int nodeCount, char* const nodeNames[],
                               const int taskCounts[], const char* exePath, const char* arguments,
                               const char* workFolder, const char* stdoutPath, const char* stderrPath,
                               const char* scheduler) {
    (void)scheduler;
    const char* operation = "HPC_CreateJob";
    try {
        if (nodeCount < 1 || nodeNames == nullptr || taskCounts == nullptr) {
            return Fail(operation, kHpcBadRequest, "the job has no nodes");
        }
        int code = kHpcNoScheduler;
        std::shared_ptr<const HeadNodeAccount> account;
        std::unique_ptr<SlurmHost> host = HostForNewJob(operation, user, password, &account, &code);
        if (host == nullptr) return code;
        JobRequest request;
        request.jobName = jobName != nullptr ? jobName : "";
        request.mode = mode;
        for (int i = 0; i < nodeCount; ++i) {
            request.nodeNames.push_back(nodeNames[i] != nullptr ? nodeNames[i] : "");
            request.taskCounts.push_back(taskCounts[i]);
        }
        request.exePath = host->NodePath(exePath != nullptr ? exePath : "");
        request.arguments = arguments != nullptr ? arguments : "";
        request.workFolder = host->NodePath(workFolder != nullptr ? workFolder : "");
        request.stdoutPath = host->NodePath(stdoutPath != nullptr ? stdoutPath : "");
        request.stderrPath = host->NodePath(stderrPath != nullptr ? stderrPath : "");

        Submission submission;
        std::string why;
        if (!BuildSubmission(request, host->LocalNode(), &submission, &why)) {
            return Fail(operation, kHpcBadRequest, why);
        }
        CommandResult result = host->Submit(submission.options, submission.script, kSubmitTimeoutMs);
        if (!Succeeded(result)) return CommandFailure(operation, "sbatch", result);
        long id = ParseSubmittedJobId(result.out);
        if (id < 0)
            return Fail(operation, kHpcUnreadable, "cannot read sbatch's answer \"" + result.out + "\"");
        if (account != nullptr) KeepAccount(id, account);
        jobId = id;
        return kHpcOk;
    } catch (...) {
        return Fail(operation, kHpcBadRequest, "out of memory");
    }
}

int CZEPHpcTool::HPC_GetJobInfo(const long& jobId, CZEPHPCJobInfoMessage& info, const char* scheduler) {
    (void)scheduler;
    try {
        int code = kHpcNoScheduler;
        std::unique_ptr<SlurmHost> host = HostForJob("HPC_GetJobInfo", jobId, &code);
        if (host == nullptr) return code;
        return QueryJob(*host, jobId, info, "HPC_GetJobInfo");
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
        int code = kHpcNoScheduler;
        std::unique_ptr<SlurmHost> host = HostForJob(operation, jobId, &code);
        if (host == nullptr) return code;
        auto lastAnswer = std::chrono::steady_clock::now();
        for (;;) {
            CZEPHPCJobInfoMessage info;
            int rc = QueryJob(*host, jobId, info, operation);
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
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollIntervalMs));
        }
    } catch (...) {
        return Fail(operation, kHpcUnreadable, "out of memory");
    }
}
