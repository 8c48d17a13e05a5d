// Slurm submissions built from the library's job requests, and Slurm's job records read back.
#include "SlurmJob.h"

#include <cctype>
#include <cstdlib>

#include "CompanionText.h"

namespace zep {
namespace companions {
namespace {

bool ValidNodeName(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (!std::isalnum(u) && c != '-' && c != '_' && c != '.') return false;
    }
    return true;
}

// Slurm expands "%" patterns in output file names; "%%" stands for one "%".
std::string LiteralOutputPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}

std::string Join(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& part : parts) {
        if (!out.empty()) out += ',';
        out += part;
    }
    return out;
}

std::string Field(const std::map<std::string, std::string>& fields, const char* key) {
    auto found = fields.find(key);
    return found == fields.end() ? std::string() : found->second;
}

bool IsKeyCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == ':' || c == '/';
}

// The length of the key that starts at text[i] and is followed by "=", or 0.
size_t KeyAt(const std::string& text, size_t i) {
    if (i > 0 && !std::isspace(static_cast<unsigned char>(text[i - 1]))) return 0;
    if (!std::isupper(static_cast<unsigned char>(text[i]))) return 0;
    size_t j = i;
    while (j < text.size() && IsKeyCharacter(text[j])) ++j;
    return (j < text.size() && text[j] == '=') ? j - i : 0;
}

std::string TrimEnd(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
    return text;
}

}  // namespace

bool BuildSubmission(const JobRequest& request, const std::string& localNode, Submission* out,
                     std::string* error) {
    std::vector<std::string> nodes;      // each node once, in order of first use
    std::vector<std::string> taskNodes;  // the node of every task, in task order
    std::map<std::string, int> perNode;  // tasks on each node
    bool anyNode = false;                // "this machine" stands for any one node
    size_t entries = request.nodeNames.size() < request.taskCounts.size() ? request.nodeNames.size()
                                                                          : request.taskCounts.size();
    for (size_t i = 0; i < entries; ++i) {
        int count = request.taskCounts[i];
        if (count <= 0) continue;  // entries that no host reached
        std::string name = request.nodeNames[i];
        bool local = name == "127.0.0.1" || name == "localhost";
        if (local) name = localNode;
        anyNode = anyNode || (local && name.empty());
        if (!(local && name.empty()) && !ValidNodeName(name)) {
            *error = "node name \"" + request.nodeNames[i] + "\" is not a Slurm node name";
            return false;
        }
        if (perNode.find(name) == perNode.end()) nodes.push_back(name);
        perNode[name] += count;
        taskNodes.insert(taskNodes.end(), static_cast<size_t>(count), name);
    }
    if (taskNodes.empty()) {
        *error = "the job has no tasks";
        return false;
    }
    if (anyNode && nodes.size() > 1) {
        *error =
            "the job names this machine (\"127.0.0.1\") beside other nodes, but this machine is no node "
            "of the cluster";
        return false;
    }
    std::string exe = MapLibraryPath(request.exePath.c_str());
    if (exe.empty()) {
        *error = "the job has no program";
        return false;
    }

    bool even = true;
    for (const auto& node : perNode) even = even && node.second == perNode.begin()->second;

    Submission submission;
    std::vector<std::string>& o = submission.options;
    o.push_back("--parsable");
    o.push_back("--job-name=" + request.jobName);
    std::string work = MapLibraryPath(request.workFolder.c_str());
    if (!work.empty()) o.push_back("--chdir=" + work);
    std::string stdoutPath = MapLibraryPath(request.stdoutPath.c_str());
    std::string stderrPath = MapLibraryPath(request.stderrPath.c_str());
    if (!stdoutPath.empty()) o.push_back("--output=" + LiteralOutputPath(stdoutPath));
    if (!stderrPath.empty()) o.push_back("--error=" + LiteralOutputPath(stderrPath));
    o.push_back("--nodes=" + std::to_string(nodes.size()));
    if (!anyNode) o.push_back("--nodelist=" + Join(nodes));
    o.push_back("--ntasks=" + std::to_string(taskNodes.size()));
    if (even && nodes.size() > 1) o.push_back("--ntasks-per-node=" + std::to_string(perNode.begin()->second));

    std::string launch = "exec srun";
    if (!even) launch += " --distribution=arbitrary --nodelist=" + Join(taskNodes);
    launch += " " + QuoteShellArgument(exe);
    for (const std::string& arg : SplitWindowsCommandLine(request.arguments.c_str())) {
        launch += " " + QuoteShellArgument(arg);
    }
    submission.script = "#!/bin/sh\n" + launch + "\n";
    *out = submission;
    return true;
}

long ParseSubmittedJobId(const std::string& answer) {
    size_t i = 0;
    while (i < answer.size() && std::isspace(static_cast<unsigned char>(answer[i]))) ++i;
    size_t start = i;
    while (i < answer.size() && std::isdigit(static_cast<unsigned char>(answer[i]))) ++i;
    if (i == start || i - start > 9) return -1;
    if (i < answer.size() && answer[i] != ';' && !std::isspace(static_cast<unsigned char>(answer[i])))
        return -1;
    return std::strtol(answer.substr(start, i - start).c_str(), nullptr, 10);
}

std::map<std::string, std::string> ParseSlurmFields(const std::string& text) {
    std::map<std::string, std::string> fields;
    std::string key;
    size_t valueStart = 0;
    bool inField = false;
    for (size_t i = 0; i < text.size(); ++i) {
        size_t keyLength = KeyAt(text, i);
        if (keyLength == 0) continue;
        if (inField) fields[key] = TrimEnd(text.substr(valueStart, i - valueStart));
        key = text.substr(i, keyLength);
        valueStart = i + keyLength + 1;
        inField = true;
        i = valueStart - 1;
    }
    if (inField) fields[key] = TrimEnd(text.substr(valueStart));
    return fields;
}

std::map<std::string, std::string> ParseSlurmConfig(const std::string& text) {
    std::map<std::string, std::string> config;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        size_t equals = line.find(" = ");
        if (equals != std::string::npos) {
            config[TrimEnd(line.substr(0, equals))] = TrimEnd(line.substr(equals + 3));
        }
        start = end + 1;
    }
    return config;
}

std::string FindCompletedJob(const std::string& fileText, long jobId) {
    std::string prefix = "JobId=" + std::to_string(jobId) + " ";
    std::string found;
    size_t start = 0;
    while (start < fileText.size()) {
        size_t end = fileText.find('\n', start);
        if (end == std::string::npos) end = fileText.size();
        if (fileText.compare(start, prefix.size(), prefix) == 0) found = fileText.substr(start, end - start);
        start = end + 1;
    }
    return found;
}

bool FillJobInfo(const std::map<std::string, std::string>& fields, CZEPHPCJobInfoMessage& info) {
    std::string id = Field(fields, "JobId");
    long jobId = ParseSubmittedJobId(id);
    if (jobId < 0) return false;
    info.m_lJobID = jobId;
    info.m_sJobName = fields.count("JobName") ? Field(fields, "JobName") : Field(fields, "Name");
    info.m_sState = Field(fields, "JobState");
    info.m_eState = StateFromSlurm(info.m_sState);
    info.m_sNodes = Field(fields, "NodeList");
    info.m_sSubmitTime = Field(fields, "SubmitTime");
    info.m_sStartTime = Field(fields, "StartTime");
    info.m_sEndTime = Field(fields, "EndTime");
    info.m_sExitCode = Field(fields, "ExitCode");
    return true;
}

std::map<std::string, std::string> ParseSacctJob(const std::string& text) {
    static const char* const kKeys[] = {"JobId",      "JobName",   "JobState", "NodeList",
                                        "SubmitTime", "StartTime", "EndTime",  "ExitCode"};
    std::map<std::string, std::string> fields;
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> columns;
    size_t start = 0;
    for (;;) {
        size_t bar = line.find('|', start);
        columns.push_back(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    if (columns.size() != sizeof(kKeys) / sizeof(kKeys[0]) || ParseSubmittedJobId(columns[0]) < 0)
        return fields;
    for (size_t i = 0; i < columns.size(); ++i) fields[kKeys[i]] = columns[i];
    return fields;
}

ZEPJobState StateFromSlurm(const std::string& state) {
    // A state may carry a reason or a flag after it ("CANCELLED by 0").
    std::string word = state.substr(0, state.find_first_of(" +"));
    if (word == "PENDING" || word == "REQUEUED" || word == "REQUEUE_FED" || word == "REQUEUE_HOLD" ||
        word == "RESV_DEL_HOLD" || word == "SPECIAL_EXIT") {
        return ZEP_JOB_QUEUED;
    }
    // A completing job has ended its tasks but not its clean-up: its output may still be written.
    if (word == "RUNNING" || word == "CONFIGURING" || word == "COMPLETING" || word == "SUSPENDED" ||
        word == "RESIZING" || word == "STAGE_OUT" || word == "SIGNALING" || word == "STOPPED") {
        return ZEP_JOB_RUNNING;
    }
    if (word == "COMPLETED") return ZEP_JOB_FINISHED;
    if (word == "CANCELLED") return ZEP_JOB_CANCELED;
    if (word == "FAILED" || word == "TIMEOUT" || word == "NODE_FAIL" || word == "PREEMPTED" ||
        word == "BOOT_FAIL" || word == "DEADLINE" || word == "OUT_OF_MEMORY" || word == "REVOKED") {
        return ZEP_JOB_FAILED;
    }
    return ZEP_JOB_UNKNOWN;
}

bool IsFinalState(ZEPJobState state) {
    return state == ZEP_JOB_FINISHED || state == ZEP_JOB_FAILED || state == ZEP_JOB_CANCELED;
}

}  // namespace companions
}  // namespace zep
