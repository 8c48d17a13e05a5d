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

struct State {
    std::mutex mutex;
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

State& GetState() {
    static State state;
    return state;
}

void Record(const char* name, std::vector<std::string> args) {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.calls.push_back(Call{name, std::move(args)});
}

int NextResult(const char* name) {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    auto found = state.results.find(name);
    if (found == state.results.end() || found->second.empty()) return 0;
    int result = found->second.front();
    found->second.pop_front();
    return result;
}

// The doubles convert as the real text companion does on a UTF-8 system: wide text as UTF-16 where
// wchar_t has two bytes and UTF-32 otherwise; bytes that do not decode become U+FFFD.
std::string ToUtf8(const wchar_t* text) {
    return text == nullptr ? std::string() : companions::WideToUtf8(text);
}
std::wstring FromUtf8(const char* text) {
    return text == nullptr ? std::wstring() : companions::Utf8ToWide(text, std::strlen(text));
}

std::string Text(const char* text) { return text == nullptr ? std::string("(null)") : std::string(text); }
std::string Text(const wchar_t* text) { return text == nullptr ? std::string("(null)") : ToUtf8(text); }
std::string Flag(bool value) { return value ? "1" : "0"; }

wchar_t* NewWide(const std::wstring& text) {
    wchar_t* out = new wchar_t[text.size() + 1];
    std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return out;
}

}  // namespace

std::string Call::ToString() const {
    std::string text = name + "(";
    for (size_t i = 0; i < args.size(); ++i) {
        if (i > 0) text += ", ";
        text += args[i];
    }
    return text + ")";
}

void Reset() {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.calls.clear();
    state.results.clear();
    state.jobId = 1;
    state.jobState = ZEP_JOB_FINISHED;
    state.jobStateWord.clear();
    state.remoteStdout.clear();
    state.launcherExitCode = 0;
    state.configuration.clear();
    state.localeName = "C";
}

std::vector<Call> Calls() {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.calls;
}

std::vector<Call> CallsOf(const std::string& name) {
    std::vector<Call> picked;
    for (const Call& call : Calls()) {
        if (call.name == name) picked.push_back(call);
    }
    return picked;
}

std::string CallLog() {
    std::string log;
    for (const Call& call : Calls()) log += call.ToString() + "\n";
    return log;
}

void ScriptResults(const std::string& name, const std::vector<int>& results) {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.results[name] = std::deque<int>(results.begin(), results.end());
}

void ScriptJobId(long jobId) {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.jobId = jobId;
}

void ScriptJobEnd(int jobState, const std::string& schedulerState) {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.jobState = jobState;
    state.jobStateWord = schedulerState;
}

void ScriptRemoteStdout(const std::wstring& commandPart, const std::wstring& output) {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.remoteStdout.emplace_back(commandPart, output);
}

void ScriptLauncherExitCode(int exitCode) {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.launcherExitCode = exitCode;
}

void ScriptConfigurationString(const std::wstring& text) {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.configuration = text;
}

void ScriptLocaleName(const std::string& name) {
    State& state = GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.localeName = name;
}

}  // namespace fakes
}  // namespace zep

using zep::fakes::Flag;
using zep::fakes::FromUtf8;
using zep::fakes::NextResult;
using zep::fakes::Record;
using zep::fakes::Text;
using zep::fakes::ToUtf8;

// ---- CZEPUnicodeTool ----------------------------------------------------------------------------

CZEPUnicodeTool::CZEPUnicodeTool() {}
CZEPUnicodeTool::~CZEPUnicodeTool() {}

int CZEPUnicodeTool::AnsiToUtf16(const char* text, wchar_t (&out)[32768]) {
    Record("CZEPUnicodeTool::AnsiToUtf16", {Text(text)});
    zep::companions::CopyWideCut(FromUtf8(text), out, 32768);
    return NextResult("CZEPUnicodeTool::AnsiToUtf16");
}

int CZEPUnicodeTool::Utf16ToUtf8(const wchar_t* text, char (&out)[32768]) {
    Record("CZEPUnicodeTool::Utf16ToUtf8", {Text(text)});
    zep::companions::CopyUtf8Cut(ToUtf8(text), out, 32768);
    return NextResult("CZEPUnicodeTool::Utf16ToUtf8");
}

int CZEPUnicodeTool::Utf16ToUtf8(const wchar_t* text, char*& out) {
    Record("CZEPUnicodeTool::Utf16ToUtf8", {Text(text)});
    std::string narrow = ToUtf8(text);
    out = new char[narrow.size() + 1];
    std::memcpy(out, narrow.c_str(), narrow.size() + 1);
    return NextResult("CZEPUnicodeTool::Utf16ToUtf8");
}

// ---- CZEPSSH2Tool -------------------------------------------------------------------------------

CZEPSSH2Tool::CZEPSSH2Tool() {}
CZEPSSH2Tool::~CZEPSSH2Tool() {}

void CZEPSSH2Tool::SSH2_SetPort(int port) { Record("CZEPSSH2Tool::SSH2_SetPort", {std::to_string(port)}); }

void CZEPSSH2Tool::SSH2_SetTimeout(int milliseconds) {
    Record("CZEPSSH2Tool::SSH2_SetTimeout", {std::to_string(milliseconds)});
}

int CZEPSSH2Tool::SSH2_CheckConnection(const wchar_t* host, const wchar_t* user, const wchar_t* password) {
    Record("CZEPSSH2Tool::SSH2_CheckConnection", {Text(host), Text(user), Text(password)});
    return NextResult("CZEPSSH2Tool::SSH2_CheckConnection");
}

int CZEPSSH2Tool::SSH2_RemoteCommandStdoutStderr(const wchar_t* host, const wchar_t* user,
                                                 const wchar_t* password, const wchar_t* command,
                                                 wchar_t*& stdoutText, wchar_t*& stderrText, int& exitCode,
                                                 bool verbose, bool option) {
    Record("CZEPSSH2Tool::SSH2_RemoteCommandStdoutStderr",
           {Text(host), Text(user), Text(password), Text(command), Flag(verbose), Flag(option)});
    stdoutText = nullptr;
    stderrText = nullptr;
    exitCode = 0;
    std::wstring scripted;
    bool found = false;
    {
        zep::fakes::State& state = zep::fakes::GetState();
        std::lock_guard<std::mutex> lock(state.mutex);
        std::wstring line = command != nullptr ? std::wstring(command) : std::wstring();
        for (const auto& entry : state.remoteStdout) {
            if (line.find(entry.first) != std::wstring::npos) {
                scripted = entry.second;
                found = true;
                break;
            }
        }
    }
    if (found) stdoutText = zep::fakes::NewWide(scripted);
    return NextResult("CZEPSSH2Tool::SSH2_RemoteCommandStdoutStderr");
}

int CZEPSSH2Tool::SSH2_RemoteCommandOutputToFile(const wchar_t* host, const wchar_t* user,
                                                 const wchar_t* password, const wchar_t* command,
                                                 const wchar_t* consoleFile, const wchar_t* pidFile,
                                                 int& exitCode, bool redirectConsole, bool option,
                                                 bool verbose) {
    Record("CZEPSSH2Tool::SSH2_RemoteCommandOutputToFile",
           {Text(host), Text(user), Text(password), Text(command), Text(consoleFile), Text(pidFile),
            Flag(redirectConsole), Flag(option), Flag(verbose)});
    {
        zep::fakes::State& state = zep::fakes::GetState();
        std::lock_guard<std::mutex> lock(state.mutex);
        exitCode = state.launcherExitCode;
    }
    return NextResult("CZEPSSH2Tool::SSH2_RemoteCommandOutputToFile");
}

// ---- CZEPMPITool --------------------------------------------------------------------------------

CZEPMPITool::CZEPMPITool() {}
CZEPMPITool::~CZEPMPITool() {}

const wchar_t* CZEPMPITool::GetIntelMPIConfigurationStringForMpiexec(const wchar_t* runFolder) {
    Record("CZEPMPITool::GetIntelMPIConfigurationStringForMpiexec", {Text(runFolder)});
    zep::fakes::State& state = zep::fakes::GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    m_sConfiguration = state.configuration;
    return m_sConfiguration.c_str();
}

int CZEPMPITool::ConvertAcc2RegistryForIntelMPI(const wchar_t* installFolder, bool option) {
    Record("CZEPMPITool::ConvertAcc2RegistryForIntelMPI", {Text(installFolder), Flag(option)});
    return NextResult("CZEPMPITool::ConvertAcc2RegistryForIntelMPI");
}

// ---- CZEPNetSession -----------------------------------------------------------------------------

CZEPNetSession::CZEPNetSession() {}
CZEPNetSession::~CZEPNetSession() {}

int CZEPNetSession::SpawnMPIProcess(const char* launcherPath, const char* arguments, int remoteHostCount,
                                    const char* workFolder, bool isSMP, bool consoleRedirection) {
    Record("CZEPNetSession::SpawnMPIProcess",
           {Text(launcherPath), Text(arguments), std::to_string(remoteHostCount), Text(workFolder),
            Flag(isSMP), Flag(consoleRedirection)});
    return NextResult("CZEPNetSession::SpawnMPIProcess");
}

// ---- CZEPLocale ---------------------------------------------------------------------------------

CZEPLocale::CZEPLocale() {}
CZEPLocale::~CZEPLocale() {}

const char* CZEPLocale::GetSystemDefaultLocale() {
    Record("CZEPLocale::GetSystemDefaultLocale", {});
    zep::fakes::State& state = zep::fakes::GetState();
    std::lock_guard<std::mutex> lock(state.mutex);
    m_sName = state.localeName;
    return m_sName.c_str();
}

// ---- CZEPHpcTool and CZEPHPCJobInfoMessage ------------------------------------------------------

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
        if (i > 0) {
            names += ",";
            counts += ",";
        }
        names += nodeNames != nullptr ? Text(nodeNames[i]) : std::string("(null)");
        counts += taskCounts != nullptr ? std::to_string(taskCounts[i]) : std::string("(null)");
    }
    Record("CZEPHpcTool::HPC_CreateJob",
           {Text(user), Text(password), Text(jobName), std::to_string(static_cast<int>(mode)),
            std::to_string(nodeCount), names, counts, Text(exePath), Text(arguments), Text(workFolder),
            Text(stdoutPath), Text(stderrPath), Text(scheduler)});
    int result = NextResult("CZEPHpcTool::HPC_CreateJob");
    if (result == 0) {
        zep::fakes::State& state = zep::fakes::GetState();
        std::lock_guard<std::mutex> lock(state.mutex);
        jobId = state.jobId;
    }
    return result;
}

int CZEPHpcTool::HPC_GetJobInfo(const long& jobId, CZEPHPCJobInfoMessage& info, const char* scheduler) {
    Record("CZEPHpcTool::HPC_GetJobInfo", {std::to_string(jobId), Text(scheduler)});
    int result = NextResult("CZEPHpcTool::HPC_GetJobInfo");
    if (result == 0) {
        info.m_lJobID = jobId;
        zep::fakes::State& state = zep::fakes::GetState();
        std::lock_guard<std::mutex> lock(state.mutex);
        info.m_sState = state.jobStateWord;
    }
    return result;
}

int CZEPHpcTool::HPC_WaitJobToFinish(const long& jobId, ZEPJobState& state, const char* workFolder,
                                     const char* nodeName, const char* scheduler) {
    Record("CZEPHpcTool::HPC_WaitJobToFinish",
           {std::to_string(jobId), Text(workFolder), Text(nodeName), Text(scheduler)});
    {
        zep::fakes::State& fake = zep::fakes::GetState();
        std::lock_guard<std::mutex> lock(fake.mutex);
        state = static_cast<ZEPJobState>(fake.jobState);
    }
    return NextResult("CZEPHpcTool::HPC_WaitJobToFinish");
}
