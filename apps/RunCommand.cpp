// zep3dtool run: sets up a run as the library's façade does, starts it, waits for what it started and
// reports the run status and how the launch ended.
#include <cstdio>
#include <memory>

#include "Commands.h"
#include "Options.h"
#include "RunArguments.h"
#include "System.h"
#include "ZEPHpcTool.h"
#include "platform/Console.h"
#include "tools/CommandHandler.h"

namespace zep {
namespace apps {
namespace {

const char kCommand[] = "run";

std::string FirstWord(const std::string& text) {
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return std::string();
    return text.substr(begin, text.find(' ', begin) - begin);
}

}  // namespace

std::string LaunchFailure(const CommandHandler& handler, long jobId) {
    if (jobId != -1 && handler.m_iHPCJobState != ZEP_JOB_FINISHED) {
        const std::string state = FirstWord(handler.m_sHPCJobState);
        return "the cluster job " + std::to_string(jobId) +
               (state.empty() ? " could not be followed to its end" : " ended " + state);
    }
    if (handler.m_iTaskMode != CommandHandler::kLinuxMachines) return std::string();
    const std::string node =
        "the run on the storage node " +
        (handler.m_ppTaskHostName.empty() ? std::string("(none)") : handler.m_ppTaskHostName[0]);
    if (!handler.m_bRemoteLaunched) return node + " was not started";
    if (handler.m_iRemoteLaunchResult != 0)
        return node + " failed over SSH (code " + std::to_string(handler.m_iRemoteLaunchResult) + ")";
    if (handler.m_iRemoteExitCode != 0)
        return node + " failed: its launcher ended with exit code " +
               std::to_string(handler.m_iRemoteExitCode);
    return std::string();
}

int RunCommand(const std::vector<std::string>& args) {
    Options options(
        "zep3dtool run --install DIR --project DIR --base NAME --run-id ID --solver NAME [options]",
        "Sets up run ID of a project from its task-manager file <project>/Analysis/Run<ID>/<base><ID>.cmx,\n"
        "writes the run's partition (.ppp) and launcher (.pwf) files beside it, starts the run on the\n"
        "route of its task mode and waits for the processes it started and for a cluster job. Prints the\n"
        "run status and message. Exit code 0 for the statuses 0 to 2, 1 for a set-up failure, 3 when the\n"
        "launched processes, the run on the Linux storage node or the cluster job failed, or nothing\n"
        "could be started.",
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
    // The steps of the façade's SetCommand, ExecuteCommand and WaitCommand on a handler of this
    // command's own, so that how the launch ended can be read from it afterwards.
    std::unique_ptr<CommandHandler> handler;
    int status = 0;
    try {
        handler.reset(new CommandHandler(run.trace));
        handler->m_iNoPathMapping = run.noPathMapping ? 1 : 0;
        handler->SetCommandArguments(0, run.commandLine.c_str(), run.install.c_str(), run.project.c_str(),
                                     run.base.c_str(), run.solver.c_str(), run.runId.c_str());
        handler->ReadCMX4TaskManager();
        handler->WriteParallelFile();
        status = handler->m_iStatus;
    } catch (...) {
        return Fail(kCommand, "out of memory while setting up the run");
    }
    if (!CommandHandler::IsRunStatus(status)) {
        // A run whose set-up failed is not started: its files are missing or wrong.
        std::printf("Status: %d (%s)\n%s", status, StatusMeaning(status).c_str(), handler->m_sErrMsg.c_str());
        return Fail(
            kCommand,
            "set-up failed with status " + std::to_string(status) + ": " + StatusMeaning(status) +
                (status == CommandHandler::kNoTaskManagerFile ? " (" + run.RunFile(".cmx") + ")" : ""));
    }

    platform::Flush();
    long jobId = -1;
    try {
        handler->SetProcessCleaner();
        handler->SpawnMPIProcess(jobId);
    } catch (...) {
        // Out of memory while launching: what was started is still waited for below.
    }
    platform::Flush();
    LaunchedProcesses::Result ended = launched.WaitForAll();
    try {
        handler->WaitHPCJob();
    } catch (...) {
    }
    platform::Flush();

    std::printf("Status: %d (%s)\n", status, StatusMeaning(status).c_str());
    if (!handler->m_sErrMsg.empty()) std::printf("%s", handler->m_sErrMsg.c_str());
    if (jobId != -1) std::printf("Cluster job: %ld\n", jobId);
    if (ended.processes > 0) {
        if (ended.failed == 0) {
            std::printf("Launched processes: %d, ended with exit code 0\n", ended.processes);
        } else {
            std::printf("Launched processes: %d, %d failed (exit code %d)\n", ended.processes, ended.failed,
                        ended.firstFailure);
            platform::Flush();
            Fail(kCommand,
                 "the launched processes failed (exit code " + std::to_string(ended.firstFailure) + ")");
            return kExitRunFailed;
        }
    } else if (status >= CommandHandler::kSingleMachineRun && jobId == -1 &&
               handler->m_iTaskMode != CommandHandler::kLinuxMachines) {
        std::printf("Launched processes: none\n");
        platform::Flush();
        Fail(kCommand, "the run was not started: no launcher process and no cluster job");
        return kExitRunFailed;
    }
    platform::Flush();
    const std::string failure = LaunchFailure(*handler, jobId);
    if (!failure.empty()) {
        Fail(kCommand, failure);
        return kExitRunFailed;
    }
    return kExitOk;
}

}  // namespace apps
}  // namespace zep
