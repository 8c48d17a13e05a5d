// Recording doubles of the six companion libraries, chosen at link time in place of the real ones.
// Every call is logged with its arguments as text; a test can script what the calls return. With
// nothing scripted every call succeeds: results are 0, the launcher configuration text is empty, the
// job id is 1 and text conversions are real (the system code page is taken as UTF-8).
#ifndef ZEP3D_COMPANIONS_FAKES_COMPANIONFAKES_H_
#define ZEP3D_COMPANIONS_FAKES_COMPANIONFAKES_H_

#include <string>
#include <vector>

namespace zep {
namespace fakes {

struct Call {
    std::string name;               // "Class::Operation"
    std::vector<std::string> args;  // every argument as text (wide texts in UTF-8)
};

void Reset();

// Every call since the last Reset, in order.
std::vector<Call> Calls();

// The calls of one operation ("CZEPSSH2Tool::SSH2_CheckConnection"), in order.
std::vector<Call> CallsOf(const std::string& name);

// Results of an operation, handed out in order; when they run out the operation returns 0.
void ScriptResults(const std::string& name, const std::vector<int>& results);

// The job id that HPC_CreateJob sets on success (1 unless scripted).
void ScriptJobId(long jobId);

// The state HPC_WaitJobToFinish gives (a ZEPJobState; finished unless scripted) and the scheduler's
// word that HPC_GetJobInfo puts in the job information (empty unless scripted).
void ScriptJobEnd(int state, const std::string& schedulerState);

// The standard output of remote commands that contain `commandPart`; other commands return a null
// standard output. The first matching script wins.
void ScriptRemoteStdout(const std::wstring& commandPart, const std::wstring& output);

// The exit code that SSH2_RemoteCommandOutputToFile reports (0 unless scripted).
void ScriptLauncherExitCode(int exitCode);

// The text that GetIntelMPIConfigurationStringForMpiexec returns (empty unless scripted).
void ScriptConfigurationString(const std::wstring& text);

// The name that CZEPLocale::GetSystemDefaultLocale returns ("C" unless scripted).
void ScriptLocaleName(const std::string& name);

}  // namespace fakes
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_FAKES_COMPANIONFAKES_H_
