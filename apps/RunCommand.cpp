// zep3dtool run: sets up a run through the library's façade, starts it, waits for what it started and
// reports the run status.
#include <cstdio>
#include <iostream>

#include "Commands.h"
#include "Options.h"
#include "RunArguments.h"
#include "System.h"
#include "platform/Platform.h"
#include "zep3d/ZEPTools.h"

namespace zep {
namespace apps {
namespace {

const char kCommand[] = "run";

// The Linux route (task mode 11) starts its launcher on the storage node in the background: no local
// process and no cluster job is expected. Its launcher file holds the machine-file form.
bool IsRemoteLinuxRun(const RunArguments& run) {
    std::FILE* file = platform::OpenStdioPlain(run.RunFile(".pwf").c_str(), "rb");
    if (file == nullptr) return false;
    std::string text;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0 && text.size() < (1u << 20))
        text.append(buffer, n);
    std::fclose(file);
    return text.find("-machinefile \"") != std::string::npos &&
           text.find(" -noprompt -hosts ") == std::string::npos;
}

void FlushStdout() {
    std::cout.flush();
    std::fflush(stdout);
}

}  // namespace

int RunCommand(const std::vector<std::string>& args) {
    Options options(
        "zep3dtool run --install DIR --project DIR --base NAME --run-id ID --solver NAME [options]",
        "Sets up run ID of a project from its task-manager file <project>/Analysis/Run<ID>/<base><ID>.cmx,\n"
        "writes the run's partition (.ppp) and launcher (.pwf) files beside it, starts the run on the\n"
        "route of its task mode and waits for the processes it started and for a cluster job. Prints the\n"
        "run status and message. Exit code 0 for the statuses 0 to 2, 1 for a set-up failure, 3 when the\n"
        "launched processes failed or nothing could be started.",
        RunOptionDefs(true));
    std::string error;
    if (!options.Parse(args, &error)) return UsageError(kCommand, error);
    if (options.Help()) {
        std::fputs(options.HelpText().c_str(), stdout);
        return kExitOk;
    }
    RunArguments run;
    if (!run.From(options, true, &error)) return UsageError(kCommand, error);
    if (!IsFolder(run.install))
        return Fail(kCommand, "the installation folder " + run.install + " does not exist");
    if (!IsFolder(run.project))
        return Fail(kCommand, "the project folder " + run.project + " does not exist");

    LaunchedProcesses launched;
    launched.Watch();
    CZEPTools tools;
    int status = tools.SetCommand(0, run.commandLine.c_str(), run.install.c_str(), run.project.c_str(),
                                  run.base.c_str(), run.solver.c_str(), run.runId.c_str(),
                                  run.noPathMapping ? 1 : 0, run.trace);
    if (status < 0 || status > 2) {
        // A run whose set-up failed is not started: its files are missing or wrong.
        std::printf("Status: %d (%s)\n%s", status, StatusMeaning(status).c_str(), tools.GetCommandErrMsg());
        return Fail(kCommand, "set-up failed with status " + std::to_string(status) + ": " +
                                  StatusMeaning(status) +
                                  (status == -3301 ? " (" + run.RunFile(".cmx") + ")" : ""));
    }

    FlushStdout();
    long jobId = -1;
    tools.ExecuteCommand(jobId);
    FlushStdout();
    LaunchedProcesses::Result ended = launched.WaitForAll();
    tools.WaitCommand();
    FlushStdout();

    std::printf("Status: %d (%s)\n", status, StatusMeaning(status).c_str());
    if (*tools.GetCommandErrMsg() != 0) std::printf("%s", tools.GetCommandErrMsg());
    if (jobId != -1) std::printf("Cluster job: %ld\n", jobId);
    if (ended.processes > 0) {
        if (ended.failed == 0) {
            std::printf("Launched processes: %d, ended with exit code 0\n", ended.processes);
        } else {
            std::printf("Launched processes: %d, %d failed (exit code %d)\n", ended.processes, ended.failed,
                        ended.firstFailure);
            Fail(kCommand,
                 "the launched processes failed (exit code " + std::to_string(ended.firstFailure) + ")");
            return kExitRunFailed;
        }
    } else if (status >= 1 && jobId == -1 && !IsRemoteLinuxRun(run)) {
        std::printf("Launched processes: none\n");
        Fail(kCommand, "the run was not started: no launcher process and no cluster job");
        return kExitRunFailed;
    }
    FlushStdout();
    return kExitOk;
}

}  // namespace apps
}  // namespace zep
