// The recording doubles of the six companion classes and the scripting functions of CompanionFakes.h.
#include "CompanionFakes.h"

#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

#include "CompanionText.h"
#include "ZEPHpcTool.h"
#include "ZEPLocale.h"
#include "ZEPMPITool.h"
#include "ZEPNetSession.h"
#include "ZEPSSH2Tool.h"
#include "ZEPUnicodeTool.h"

namespace zep {
namespace fakes {
namespace {

struct Script {
    std::vector<Call> calls;
    std::map<std::string, std::deque<int>> results;
    long jobId = 1;
    int jobState = ZEP_JOB_FINISHED;
    std::string jobStateWord;
    std::vector<std::pair<std::wstring, std::wstring>> remoteStdout;
    int launcherExitCode = 0;
    std::wstring configuration;
    std::string localeName = "C";
};

struct State {
    std::mutex mutex;
    Script script;
};

State& GetState() {
    static State state;
    return state;
}

template <typename Use>
auto Locked(Use use) {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return use(state.script);
}

// Records the call and hands out its next scripted result (0 when none is left).
int Record(const char* name, std::vector<std::string> args) {
    return Locked([&](Script& s) {
        s.calls.push_back(Call{name, std::move(args)});
        std::deque<int>& results = s.results[name];
        if (results.empty()) return 0;
        const int result = results.front();
        results.pop_front();
        return result;
    });
}

}  // namespace

void Reset() {
    Locked([](Script& s) { s = Script(); });
}
std::vector<Call> Calls() {
    return Locked([](Script& s) { return s.calls; });
}
std::vector<Call> CallsOf(const std::string& name) {
    std::vector<Call> picked;
    for (const Call& call : Calls()) {
        if (call.name == name) picked.push_back(call);
    }
    return picked;
}
void ScriptResults(const std::string& name, const std::vector<int>& results) {
    Locked([&](Script& s) { s.results[name].assign(results.begin(), results.end()); });
}
void ScriptJobId(long jobId) {
    Locked([&](Script& s) { s.jobId = jobId; });
}
void ScriptJobEnd(int state, const std::string& schedulerState) {
    Locked([&](Script& s) {
        s.jobState = state;
        s.jobStateWord = schedulerState;
    });
}
void ScriptRemoteStdout(const std::wstring& commandPart, const std::wstring& output) {
    Locked([&](Script& s) { s.remoteStdout.emplace_back(commandPart, output); });
}
void ScriptLauncherExitCode(int exitCode) {
    Locked([&](Script& s) { s.launcherExitCode = exitCode; });
}
void ScriptConfigurationString(const std::wstring& text) {
    Locked([&](Script& s) { s.configuration = text; });
}
void ScriptLocaleName(const std::string& name) {
    Locked([&](Script& s) { s.localeName = name; });
}

namespace {

// The doubles convert as the real text companion does on a UTF-8 system: wide text as UTF-16 where
// wchar_t has two bytes and UTF-32 otherwise; bytes that do not decode become U+FFFD.
std::string Text(const char* text) { return text == nullptr ? std::string("(null)") : std::string(text); }
std::string Text(const wchar_t* text) {
    return text == nullptr ? std::string("(null)") : companions::WideToUtf8(text);
}
std::string Flag(bool value) { return value ? "1" : "0"; }

}  // namespace
}  // namespace fakes
}  // namespace zep

using zep::fakes::Flag;
using zep::fakes::Locked;
using zep::fakes::Record;
using zep::fakes::Script;
using zep::fakes::Text;

CZEPUnicodeTool::CZEPUnicodeTool() {}
CZEPUnicodeTool::~CZEPUnicodeTool() {}

int CZEPUnicodeTool::AnsiToUtf16(const char* text, wchar_t (&out)[32768]) {
    const std::wstring wide =
        text == nullptr ? std::wstring() : zep::companions::Utf8ToWide(text, std::strlen(text));
    zep::companions::CopyWideCut(wide, out, 32768);
    return Record("CZEPUnicodeTool::AnsiToUtf16", {Text(text)});
}

int CZEPUnicodeTool::Utf16ToUtf8(const wchar_t* text, char (&out)[32768]) {
    zep::companions::CopyUtf8Cut(text == nullptr ? std::string() : Text(text), out, 32768);
    return Record("CZEPUnicodeTool::Utf16ToUtf8", {Text(text)});
}

int CZEPUnicodeTool::Utf16ToUtf8(const wchar_t* text, char*& out) {
    const std::string narrow = text == nullptr ? std::string() : Text(text);
    out = new char[narrow.size() + 1];
    std::memcpy(out, narrow.c_str(), narrow.size() + 1);
    return Record("CZEPUnicodeTool::Utf16ToUtf8", {Text(text)});
}

CZEPSSH2Tool::CZEPSSH2Tool() {}
CZEPSSH2Tool::~CZEPSSH2Tool() {}

void CZEPSSH2Tool::SSH2_SetPort(int port) { Record("CZEPSSH2Tool::SSH2_SetPort", {std::to_string(port)}); }

void CZEPSSH2Tool::SSH2_SetTimeout(int milliseconds) {
    Record("CZEPSSH2Tool::SSH2_SetTimeout", {std::to_string(milliseconds)});
}

int CZEPSSH2Tool::SSH2_CheckConnection(const wchar_t* host, const wchar_t* user, const wchar_t* password) {
    return Record("CZEPSSH2Tool::SSH2_CheckConnection", {Text(host), Text(user), Text(password)});
}

int CZEPSSH2Tool::SSH2_RemoteCommandStdoutStderr(const wchar_t* host, const wchar_t* user,
                                                 const wchar_t* password, const wchar_t* command,
                                                 wchar_t*& stdoutText, wchar_t*& stderrText, int& exitCode,
                                                 bool verbose, bool option) {
    stdoutText = nullptr;
    stderrText = nullptr;
    exitCode = 0;
    const std::wstring line = command != nullptr ? std::wstring(command) : std::wstring();
    Locked([&](Script& s) {
        for (const auto& entry : s.remoteStdout) {
            if (line.find(entry.first) == std::wstring::npos) continue;
            stdoutText = new wchar_t[entry.second.size() + 1];
            std::memcpy(stdoutText, entry.second.c_str(), (entry.second.size() + 1) * sizeof(wchar_t));
            break;
        }
    });
    return Record("CZEPSSH2Tool::SSH2_RemoteCommandStdoutStderr",
                  {Text(host), Text(user), Text(password), Text(command), Flag(verbose), Flag(option)});
}

int CZEPSSH2Tool::SSH2_RemoteCommandOutputToFile(const wchar_t* host, const wchar_t* user,
                                                 const wchar_t* password, const wchar_t* command,
                                                 const wchar_t* consoleFile, const wchar_t* pidFile,
                                                 int& exitCode, bool redirectConsole, bool option,
                                                 bool verbose) {
    exitCode = Locked([](Script& s) { return s.launcherExitCode; });
    return Record("CZEPSSH2Tool::SSH2_RemoteCommandOutputToFile",
                  {Text(host), Text(user), Text(password), Text(command), Text(consoleFile), Text(pidFile),
                   Flag(redirectConsole), Flag(option), Flag(verbose)});
}

CZEPMPITool::CZEPMPITool() {}
CZEPMPITool::~CZEPMPITool() {}

const wchar_t* CZEPMPITool::GetIntelMPIConfigurationStringForMpiexec(const wchar_t* runFolder) {
    Record("CZEPMPITool::GetIntelMPIConfigurationStringForMpiexec", {Text(runFolder)});
    m_sConfiguration = Locked([](Script& s) { return s.configuration; });
    return m_sConfiguration.c_str();
}

int CZEPMPITool::ConvertAcc2RegistryForIntelMPI(const wchar_t* installFolder, bool option) {
    return Record("CZEPMPITool::ConvertAcc2RegistryForIntelMPI", {Text(installFolder), Flag(option)});
}

CZEPNetSession::CZEPNetSession() {}
CZEPNetSession::~CZEPNetSession() {}

int CZEPNetSession::SpawnMPIProcess(const char* launcherPath, const char* arguments, int remoteHostCount,
                                    const char* workFolder, bool isSMP, bool consoleRedirection) {
    return Record("CZEPNetSession::SpawnMPIProcess",
                  {Text(launcherPath), Text(arguments), std::to_string(remoteHostCount), Text(workFolder),
                   Flag(isSMP), Flag(consoleRedirection)});
}

CZEPLocale::CZEPLocale() {}
CZEPLocale::~CZEPLocale() {}

const char* CZEPLocale::GetSystemDefaultLocale() {
    Record("CZEPLocale::GetSystemDefaultLocale", {});
    m_sName = Locked([](Script& s) { return s.localeName; });
    return m_sName.c_str();
}

CZEPHPCJobInfoMessage::CZEPHPCJobInfoMessage() : m_lJobID(-1), m_eState(ZEP_JOB_UNKNOWN) {}
CZEPHPCJobInfoMessage::~CZEPHPCJobInfoMessage() {}

const char* CZEPHPCJobInfoMessage::PrintJobBasicStartInfo() {
    m_sText = "Job " + std::to_string(m_lJobID) + " started";
    return m_sText.c_str();
}

const char* CZEPHPCJobInfoMessage::PrintJobBasicEndInfo() {
    m_sText = "Job " + std::to_string(m_lJobID) + " ended";
    return m_sText.c_str();
}

CZEPHpcTool::CZEPHpcTool() {}
CZEPHpcTool::~CZEPHpcTool() {}

int CZEPHpcTool::HPC_CreateJob(long& jobId, const char* user, const char* password, const char* jobName,
                               ComputingMode mode, int nodeCount, char* const nodeNames[],
                               const int taskCounts[], const char* exePath, const char* arguments,
                               const char* workFolder, const char* stdoutPath, const char* stderrPath,
                               const char* scheduler) {
    std::string names;
    std::string counts;
    for (int i = 0; i < nodeCount; ++i) {
        names += (i > 0 ? "," : "") + (nodeNames != nullptr ? Text(nodeNames[i]) : "(null)");
        counts += (i > 0 ? "," : "") + (taskCounts != nullptr ? std::to_string(taskCounts[i]) : "(null)");
    }
    const int result =
        Record("CZEPHpcTool::HPC_CreateJob",
               {Text(user), Text(password), Text(jobName), std::to_string(static_cast<int>(mode)),
                std::to_string(nodeCount), names, counts, Text(exePath), Text(arguments), Text(workFolder),
                Text(stdoutPath), Text(stderrPath), Text(scheduler)});
    if (result == 0) jobId = Locked([](Script& s) { return s.jobId; });
    return result;
}

int CZEPHpcTool::HPC_GetJobInfo(const long& jobId, CZEPHPCJobInfoMessage& info, const char* scheduler) {
    const int result = Record("CZEPHpcTool::HPC_GetJobInfo", {std::to_string(jobId), Text(scheduler)});
    if (result == 0) {
        info.m_lJobID = jobId;
        info.m_sState = Locked([](Script& s) { return s.jobStateWord; });
    }
    return result;
}

int CZEPHpcTool::HPC_WaitJobToFinish(const long& jobId, ZEPJobState& state, const char* workFolder,
                                     const char* nodeName, const char* scheduler) {
    state = static_cast<ZEPJobState>(Locked([](Script& s) { return s.jobState; }));
    return Record("CZEPHpcTool::HPC_WaitJobToFinish",
                  {std::to_string(jobId), Text(workFolder), Text(nodeName), Text(scheduler)});
}
