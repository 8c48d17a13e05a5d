// Fuzz target: random text in every value of the Linux route that reaches the node's shell (project
// folder, home folder, the solver's command line and program name, the launcher companion's
// configuration text), the route run through the companion doubles, and every remote command read as
// the node's shell reads it. A command that does not parse, that would expand anything but the
// designed "~" and "$!", or whose words differ from the values they carry stops the run.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "CompanionFakes.h"
#include "CompanionText.h"
#include "FuzzDriver.h"
#include "RemoteCommands.h"
#include "platform/Platform.h"
#include "tools/CommandHandler.h"

namespace {

struct Setup {
    std::string project;
    Setup() {
        zep::platform::SetSleepFunction([](int) {});
        if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
        project = FuzzTempFolder() + "/Proj";
        std::filesystem::create_directories(project + "/Analysis/Run01");
    }
};

// The input cut into `count` fields at every 0xFF byte; the other bytes become ASCII without the zero
// byte, the characters that matter to a shell.
std::vector<std::string> Fields(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < size && fields.size() <= count; ++i) {
        if (data[i] == 0xFF) fields.emplace_back();
        if (data[i] != 0xFF && (data[i] & 0x7F) != 0) fields.back() += static_cast<char>(data[i] & 0x7F);
    }
    fields.resize(count);
    return fields;
}

}  // namespace

void Fuzz(const uint8_t* data, size_t size) {
    static Setup setup;
    const std::vector<std::string> f = Fields(data, size, 5);
    const std::string& projectOnNode = f[0];
    const std::string home = "/" + f[1];
    const std::string commandLine = "\"C:\\App\\*D:\\Work\\P*\" " + f[2];
    const std::string exe = f[3].empty() ? "solver.exe" : f[3];

    zep::fakes::Reset();
    zep::fakes::ScriptConfigurationString(zep::companions::Utf8ToWide(f[4]));
    CommandHandler handler(0);
    handler.SetCommandArguments(0, commandLine.c_str(), "/opt/Install/", setup.project.c_str(), "Part",
                                exe.c_str(), "01");
    handler.SetLinuxProjectDir(projectOnNode.c_str());
    handler.m_iTaskMode = 11;
    handler.m_nproc = 3;
    handler.m_bIsSMP = false;
    handler.m_nMachine = 2;
    handler.m_vMachines = {"", "alpha 2 /x/", "beta 1 /x/"};
    handler.m_vWeightFactor = {0.0, 0.5, 0.5, 1.0};
    handler.m_ppTaskHostName = {"alpha", "alpha", "beta"};
    handler.m_sSharedTarvik3DName = home;
    handler.m_sLinZep3DHomeDir = home;
    handler.m_sParallelWorkingFolderName = "D:\\Work";
    handler.m_iStatus = 2;
    if (handler.WriteParallelFile() != 2) return;
    zep::fakes::Reset();
    long jobId = 0;
    handler.SpawnMPIProcess(jobId);

    std::vector<std::string> commands;
    for (const auto& call : zep::fakes::Calls()) {
        if (call.name.find("SSH2_RemoteCommand") != std::string::npos) commands.push_back(call.args[3]);
    }
    if (commands.empty()) std::abort();
    const std::string failure = zep::testing::CheckRemoteCommands(handler, commands);
    if (!failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        std::abort();
    }
}
