// What the whole runs on Linux and on Windows share.
#ifndef ZEP3D_INTEGRATION_WHOLERUNS_H_
#define ZEP3D_INTEGRATION_WHOLERUNS_H_

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "RunFolder.h"
#include "TestUtil.h"
#include "zep3d/ZEPTools.h"

namespace zep {
namespace testing {

// The solver's command line as the project manager passes it: program and project between the markers.
constexpr char kCommandLine[] = "\"C:\\App\\*D:\\Work\\P*\"";

// One run on the storage node, of two tasks over the machines (all on the first when there is one).
struct StorageNodeRun {
    const char* name;
    const char* runId;
    bool redirect;  // console redirection
    int minPort;
    int maxPort;
    std::vector<std::string> hosts;
    bool refused;  // the account's password is not the user's
};

inline std::ostream& operator<<(std::ostream& out, const StorageNodeRun& run) { return out << run.name; }

// Two names of this machine make two machines in the ring, both reached through the storage node.
inline std::vector<StorageNodeRun> StorageNodeRuns() {
    return {{"RedirectedOnOneMachine", "01", true, 20000, 20100, {"localhost"}, false},
            {"TwoMachinesOnTheConsole", "02", false, 10000, 11000, {"localhost", "127.0.0.1"}, false},
            {"RefusedAccount", "03", true, 10000, 11000, {"localhost"}, true}};
}

inline std::string RunName(const ::testing::TestParamInfo<StorageNodeRun>& info) { return info.param.name; }

// The machines have the node installation `machineHome`; the launcher is started from `sharedHome`.
inline std::string StorageNodeCmx(const StorageNodeRun& run, const std::string& machineHome,
                                  const std::string& sharedHome) {
    std::vector<std::string> machines;
    for (const std::string& host : run.hosts)
        machines.push_back(host + " " + std::to_string(2 / run.hosts.size()) + " " + machineHome);
    const std::string keys =
        "ValueSharedTarvik3DName=" + sharedHome +
        "\nValueParallelWorkingFolder=D:\\Work\nValueMinPort=" + std::to_string(run.minPort) +
        "\nValueMaxPort=" + std::to_string(run.maxPort) + "\n";
    return TaskBlock(11, 2, run.redirect ? "ValueConsoleRedirection=1\n" : "") +
           MachineBlock(machines, std::vector<std::string>(run.hosts.size(), "1"), keys);
}

// Sets up and executes a run, expecting `status` from both; returns what it printed.
inline std::string Execute(CZEPTools& tools, const std::string& commandLine, const std::string& install,
                           const std::string& project, const char* solver, const char* runId, int status,
                           long& jobId) {
    EXPECT_EQ(
        tools.SetCommand(0, commandLine.c_str(), install.c_str(), project.c_str(), "Part", solver, runId, 0),
        status)
        << tools.GetCommandErrMsg();
    StdoutCapture capture;
    EXPECT_EQ(tools.ExecuteCommand(jobId), status);
    return capture.Stop();
}

// A storage-node run does not wait for the launcher.
inline std::string ExecuteStorageNodeRun(const std::string& commandLine, const std::string& install,
                                         const std::string& project, const char* runId) {
    CZEPTools tools;
    long jobId = 0;
    const std::string printed = Execute(tools, commandLine, install, project, "solver", runId, 2, jobId);
    EXPECT_EQ(jobId, -1);
    return printed;
}

// Where a storage-node run leaves its traces, by the names this machine gives them.
struct NodeTraces {
    std::string runPath;                                   // the run folder as the run was given it
    std::string calls;                                     // the node stand-ins' records
    std::string mpdConf;                                   // the test user's ~/.mpd.conf
    std::function<std::string(const std::string&)> local;  // a file of the node by this machine's name
    std::vector<std::string> launcherArguments;
};

// Checks what the run printed at trace level 0 and what it left on the node and in the run folder.
inline void ExpectStorageNodeRun(const StorageNodeRun& run, const std::string& printed,
                                 const NodeTraces& at) {
    using ::testing::HasSubstr;
    using ::testing::Not;
    const std::vector<std::string> consoles = FilesStartingWith(at.runPath, "console_redirect_");
    ASSERT_EQ(consoles.size(), run.redirect ? 1u : 0u) << printed;
    std::string console = printed;
    if (run.redirect) {
        // Below trace level 2 only the redirection lines, after every failed step of a refused account.
        EXPECT_TRUE(HasForm(consoles[0], "console_redirect_9999-99-99_99-99-99.txt")) << consoles[0];
        std::string expected = ReadFile(
            DataPath(run.refused ? "integration/refused-run.txt" : "integration/redirected-run.txt"));
        expected.replace(expected.find("@CONSOLE@"), 9, at.runPath + "\\" + consoles[0]);
        EXPECT_EQ(printed, expected);
        console = ReadFile(at.runPath + "/" + consoles[0]);
    } else {
        EXPECT_THAT(printed, Not(HasSubstr(">>>")));
        EXPECT_THAT(printed, Not(HasSubstr("ailed"))) << "every machine is in the ring";
    }
    if (run.refused) {
        for (const std::string& file : {at.mpdConf, at.calls + "/mpdboot.args", at.runPath + "/machines.txt",
                                        at.calls + "/mpiexec.args", at.runPath + "/mpiexec.pid"})
            EXPECT_FALSE(FileExists(file)) << file;
        return;
    }

    // The ring boot: the MPD configuration, and the hosts file with one line per machine, removed after.
    EXPECT_EQ(ReadFile(at.mpdConf),
              "MPD_PORT_RANGE=" + std::to_string(run.minPort) + ":" + std::to_string(run.maxPort) + "\n");
#ifndef _WIN32
    struct stat info;
    ASSERT_EQ(stat(at.mpdConf.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
#endif
    const std::vector<std::string> boot = Lines(ReadFile(at.calls + "/mpdboot.args"));
    ASSERT_EQ(boot.size(), 6u);
    EXPECT_THAT(boot, ::testing::ElementsAre("-n", std::to_string(run.hosts.size()), "-f", ::testing::_, "-r",
                                             "rsh"));
    EXPECT_TRUE(HasForm(boot[3], "/tmp/mpdhosts_99999999_999999.txt")) << boot[3];
    EXPECT_FALSE(FileExists(at.local(boot[3]))) << "the hosts file of this run is removed";
    std::string hosts, machines;
    for (const std::string& host : run.hosts) {
        hosts += host + "\r\n";
        for (size_t task = 0; task < 2 / run.hosts.size(); ++task) machines += host + "\r\n";
    }
    EXPECT_EQ(ReadFile(at.calls + "/mpdboot.hosts"), hosts + "\n");
    EXPECT_EQ(ReadFile(at.runPath + "/machines.txt"), machines + "\n");

    // The launcher's arguments and process id; its console followed until it ends.
    EXPECT_EQ(Lines(ReadFile(at.calls + "/mpiexec.args")), at.launcherArguments);
    const std::string pid = ReadFile(at.calls + "/mpiexec.self");
    ASSERT_FALSE(pid.empty());
    EXPECT_EQ(ReadFile(at.runPath + "/mpiexec.pid"), pid) << "the id of the launcher itself";
    EXPECT_THAT(console, HasSubstr("<mpiexec>" + pid.substr(0, pid.size() - 1) + "</mpiexec>\n"));
    EXPECT_THAT(console, HasSubstr("stand-in mpiexec: " + std::to_string(at.launcherArguments.size()) +
                                   " arguments\n"));
    if (run.redirect) {
        EXPECT_THAT(console, HasSubstr("stand-in mpiexec: to standard error\n"));
    }
    EXPECT_THAT(console, HasSubstr("stand-in mpiexec: done\n"));
}

// Executes and waits for a cluster job of the installation's "solver.sh", whose tasks print `where` after
// "task <rank> of <tasks>"; returns the job's id.
inline long ExpectClusterJob(const std::string& install, const std::string& project,
                             const std::string& runPath, int tasks, const std::string& node,
                             const std::string& where) {
    using ::testing::HasSubstr;
    WriteFile(runPath + "/Part01.cmx", TaskBlock(12, tasks));
    CZEPTools tools;
    const int status = tasks > 1 ? 1 : 0;
    long jobId = -1;
    EXPECT_EQ(Execute(tools, kCommandLine, install, project, "solver.sh", "01", status, jobId), "")
        << "the account was read and the job created";
    if (jobId <= 0) return jobId;

    StdoutCapture wait;
    EXPECT_EQ(tools.WaitCommand(), status);
    const std::vector<std::string> summaries = Lines(wait.Stop());
    const std::string job = "Job " + std::to_string(jobId) + " \"Tarvik3D HPC Job - solver.sh\": state ";
    EXPECT_THAT(summaries, ::testing::ElementsAre(
                               ::testing::StartsWith(job),
                               ::testing::AllOf(HasSubstr(job + "COMPLETED, nodes " + node + ", started "),
                                                HasSubstr(", exit code 0:0"))));
    const std::string out = ReadFile(runPath + "/zephpc_stdout.txt");
    const std::string err = ReadFile(runPath + "/zephpc_stderr.txt");
    for (int task = 0; task < tasks; ++task) {
        const std::string id = std::to_string(task);
        EXPECT_THAT(out, HasSubstr("task " + id + " of " + std::to_string(tasks) + where + "\n"));
        EXPECT_THAT(out, HasSubstr("task " + id + " done\n"));
        EXPECT_THAT(err, HasSubstr("err " + id + "\n"));
    }
    return jobId;
}

// Starts a redirected run of three tasks on this machine with the installation's launcher
// "Bin/IntelMPI/impiexec.exe"; returns the arguments it must receive, blanks and all.
inline std::vector<std::string> StartLocalRun(const std::string& install, const std::string& project) {
    const std::string runPath = project + "/Analysis/Run01";
    WriteFile(runPath + "/Part01.cmx", TaskBlock(0, 3, "ValueConsoleRedirection=1\n"));
    CZEPTools tools;
    long jobId = 0;
    EXPECT_EQ(Execute(tools, std::string(kCommandLine) + " -batch \"two words\"", install, project,
                      "solver.exe", "01", 1, jobId),
              "");
    EXPECT_EQ(jobId, -1);
    return Lines("-wdir\n" + runPath + "\n-localonly\n-np\n3\n" + install +
                 "\\Bin\\solver.exe\nC:\\App\\*D:\\Work\\P*\n-batch\ntwo words");
}

}  // namespace testing
}  // namespace zep

#endif  // ZEP3D_INTEGRATION_WHOLERUNS_H_
