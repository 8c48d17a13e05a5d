// zep3dtool check: reads a run's task-manager file as GetCommand does (a fresh run handler, the
// arguments, the reading) and shows what it says as a table; writes no file.
#include <algorithm>
#include <cstdio>
#include <sstream>

#include "Commands.h"
#include "Options.h"
#include "RunArguments.h"
#include "tools/CommandHandler.h"

namespace zep {
namespace apps {
namespace {

const char kCommand[] = "check";

std::string TaskModeMeaning(int mode) {
    switch (mode) {
        case CommandHandler::kNoTaskMode:
            return "none: the file has no task block";
        case CommandHandler::kLocalMachine:
            return "MPI processes on this machine";
        case CommandHandler::kWindowsMachines:
            return "MPI processes on several Windows machines";
        case CommandHandler::kLinuxMachines:
            return "a run on Linux machines through a storage node over SSH";
        case CommandHandler::kClusterOneNode:
            return "a cluster job on one node";
        case CommandHandler::kClusterNodes:
            return "a cluster job over several nodes";
        default:
            return "unknown";
    }
}

void Row(const std::string& label, const std::string& value) {
    std::printf("%-22s%s\n", label.c_str(), value.c_str());
}

std::string OrDash(const std::string& text) { return text.empty() ? "-" : text; }

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", value);
    return text;
}

struct MachineRow {
    std::string number, host, tasks, weight, folder;
};

// The machines of the file, each with its host, task count, folder and weight (the sum of its tasks'
// weight factors, that is the weight line of the file).
std::vector<MachineRow> Machines(const CommandHandler& handler) {
    std::vector<MachineRow> rows;
    size_t factor = 1;
    for (size_t i = 1; i < handler.m_vMachines.size(); ++i) {
        std::istringstream fields(handler.MachineEntryWithSpaces(i));
        MachineRow row;
        row.number = std::to_string(i);
        fields >> row.host >> row.tasks;
        std::getline(fields >> std::ws, row.folder);
        long tasks = 0;
        if (ParseInteger(row.tasks, 1, CommandHandler::kMaxTasks, &tasks) &&
            factor + static_cast<size_t>(tasks) <= handler.m_vWeightFactor.size()) {
            double weight = 0.0;
            for (long k = 0; k < tasks; ++k) weight += handler.m_vWeightFactor[factor++];
            row.weight = Number(weight);
        } else {
            row.weight = "-";
        }
        rows.push_back(row);
    }
    return rows;
}

void PrintMachines(const std::vector<MachineRow>& rows) {
    std::vector<MachineRow> all = {{"#", "Host", "Tasks", "Weight", "Installation folder"}};
    all.insert(all.end(), rows.begin(), rows.end());
    size_t w[4] = {0, 0, 0, 0};
    for (const MachineRow& r : all) {
        w[0] = std::max(w[0], r.number.size());
        w[1] = std::max(w[1], r.host.size());
        w[2] = std::max(w[2], r.tasks.size());
        w[3] = std::max(w[3], r.weight.size());
    }
    for (const MachineRow& r : all) {
        std::printf("  %*s  %-*s  %*s  %*s  %s\n", static_cast<int>(w[0]), r.number.c_str(),
                    static_cast<int>(w[1]), r.host.c_str(), static_cast<int>(w[2]), r.tasks.c_str(),
                    static_cast<int>(w[3]), r.weight.c_str(), r.folder.c_str());
    }
}

}  // namespace

int CheckCommand(const std::vector<std::string>& args) {
    Options options(
        "zep3dtool check --project DIR --base NAME --run-id ID [options]",
        "Reads the task-manager file <project>/Analysis/Run<ID>/<base><ID>.cmx as the library's\n"
        "GetCommand does and shows what it says: status, task mode, tasks, the machines with their\n"
        "task counts and weights, folders and ports. Writes no file. Exit code 0 when the file\n"
        "sets up a run (status 0 to 2), 1 otherwise.",
        RunOptionDefs(false));
    std::string error;
    if (!options.Parse(args, &error)) return UsageError(kCommand, error);
    if (options.Help()) {
        std::fputs(options.HelpText().c_str(), stdout);
        return kExitOk;
    }
    RunArguments run;
    if (!run.From(options, false, &error)) return UsageError(kCommand, error);

    CommandHandler handler(run.trace);
    handler.SetCommandArguments(0, run.commandLine.c_str(), run.install.c_str(), run.project.c_str(),
                                run.base.c_str(), run.solver.c_str(), run.runId.c_str());
    int status = handler.ReadCMX4TaskManager();
    std::fflush(stdout);
    if (!CommandHandler::IsRunStatus(status)) {
        std::printf("Status: %d (%s)\n%s", status, StatusMeaning(status).c_str(), handler.m_sErrMsg.c_str());
        return Fail(
            kCommand,
            "status " + std::to_string(status) + ": " + StatusMeaning(status) +
                (status == CommandHandler::kNoTaskManagerFile ? " (" + handler.m_sCMXName + ")" : ""));
    }

    Row("Task-manager file", handler.m_sCMXName);
    Row("Status", std::to_string(status) + " (" + StatusMeaning(status) + ")");
    Row("Task mode", std::to_string(handler.m_iTaskMode) + " (" + TaskModeMeaning(handler.m_iTaskMode) + ")");
    Row("Tasks", handler.m_nproc < 0 ? "-" : std::to_string(handler.m_nproc));
    Row("Console redirection", handler.m_bConsoleRedirection ? "on" : "off");
    Row("Run folder", handler.m_sWinRunPath);
    Row("Partition file", handler.m_sPPPName);
    Row("Launcher file", handler.m_sPWFName);
    if (!run.install.empty()) Row("Launcher", handler.m_sMPIName);
    if (!run.solver.empty()) Row("Solver", handler.m_sExeFullPath);
    if (!handler.m_bIsSMP) {
        Row("Local host", OrDash(handler.m_sLocalHostName));
        Row("Shared project disk",
            OrDash(handler.m_sSharedDriveName) +
                (handler.m_sMapDrive.empty() ? "" : " (mapped as " + handler.m_sMapDrive + ")"));
        Row("Working folder", OrDash(handler.m_sParallelWorkingFolderName));
        Row("Shared installation", OrDash(handler.m_sSharedTarvik3DName));
        Row("Ports", std::to_string(handler.m_iMinPort) + "-" + std::to_string(handler.m_iMaxPort));
        std::vector<MachineRow> rows = Machines(handler);
        Row("Machines", std::to_string(rows.size()));
        if (!rows.empty()) PrintMachines(rows);
    }
    return kExitOk;
}

}  // namespace apps
}  // namespace zep
