// Tests of the cluster job companion's Slurm parts.
#include "SlurmJob.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "CompanionText.h"
#include "SlurmOverSsh.h"
#include "TestUtil.h"

namespace zep {
namespace companions {
namespace {

JobRequest OneNodeRequest() {
    JobRequest request;
    request.jobName = "Tarvik3D HPC Job - solver.exe";
    request.nodeNames = {"127.0.0.1"};
    request.taskCounts = {8};
    request.exePath = "/opt/app/solver.exe";
    request.arguments = "-project \"/data/my project/p.cmx\" -silent";
    request.workFolder = "/data/my project/run";
    request.stdoutPath = "/data/my project/run/zephpc_stdout.txt";
    request.stderrPath = "/data/my project/run/zephpc_stderr.txt";
    return request;
}

bool Has(const Submission& submission, const std::string& option) {
    return std::find(submission.options.begin(), submission.options.end(), option) !=
           submission.options.end();
}

TEST(SlurmJob, OneNodeJobRunsAllTasksOnTheLocalNode) {
    Submission submission;
    std::string error;
    ASSERT_TRUE(BuildSubmission(OneNodeRequest(), "vm", &submission, &error)) << error;
    EXPECT_EQ(
        submission.options,
        (std::vector<std::string>{
            "--parsable", "--job-name=Tarvik3D HPC Job - solver.exe", "--chdir=/data/my project/run",
            "--output=/data/my project/run/zephpc_stdout.txt",
            "--error=/data/my project/run/zephpc_stderr.txt", "--nodes=1", "--nodelist=vm", "--ntasks=8"}));
    EXPECT_EQ(submission.script,
              "#!/bin/sh\nexec srun '/opt/app/solver.exe' '-project' '/data/my project/p.cmx' '-silent'\n");

    JobRequest named = OneNodeRequest();
    named.nodeNames = {"localhost"};
    ASSERT_TRUE(BuildSubmission(named, "vm", &submission, &error));
    EXPECT_TRUE(Has(submission, "--nodelist=vm"));

    // On a head node reached over SSH this machine is no node of the cluster: any one node will do, but
    // not beside named ones.
    ASSERT_TRUE(BuildSubmission(named, "", &submission, &error)) << error;
    EXPECT_EQ(submission.options,
              (std::vector<std::string>{
                  "--parsable", "--job-name=Tarvik3D HPC Job - solver.exe", "--chdir=/data/my project/run",
                  "--output=/data/my project/run/zephpc_stdout.txt",
                  "--error=/data/my project/run/zephpc_stderr.txt", "--nodes=1", "--ntasks=8"}));
    named.nodeNames = {"127.0.0.1", "nodeB"};
    named.taskCounts = {4, 4};
    EXPECT_FALSE(BuildSubmission(named, "", &submission, &error));
}

TEST(SlurmJob, LibraryPathsAreMappedAndPercentSignsKeptLiteral) {
    JobRequest request = OneNodeRequest();
    request.workFolder = "/data/100%\\run";
    request.stdoutPath = "/data/100%\\run\\zephpc_stdout.txt";
    request.exePath = "/opt/app\\solver.exe";
    Submission submission;
    std::string error;
    ASSERT_TRUE(BuildSubmission(request, "vm", &submission, &error));
    EXPECT_TRUE(Has(submission, "--chdir=" + MapLibraryPath("/data/100%\\run")));
    // Slurm would read "%\" or "%r" as a pattern: the percent sign is doubled.
    EXPECT_TRUE(Has(submission, "--output=" + MapLibraryPath("/data/100%%\\run\\zephpc_stdout.txt")));
    EXPECT_NE(submission.script.find("'" + MapLibraryPath("/opt/app\\solver.exe") + "'"), std::string::npos);
}

TEST(SlurmJob, SeveralNodesKeepTheTasksOfEachNode) {
    const struct {
        std::vector<std::string> names;
        std::vector<int> counts;
        std::vector<std::string> options;  // among the options
        std::string script;                // in the script
    } cases[] = {
        // The counts differ, so every task is placed on its node.
        {{"nodeA", "nodeB"},
         {2, 3},
         {"--nodes=2", "--nodelist=nodeA,nodeB", "--ntasks=5"},
         "exec srun --distribution=arbitrary --nodelist=nodeA,nodeA,nodeB,nodeB,nodeB '"},
        // A host that comes back after another: the node is allocated once, its tasks keep their order.
        {{"nodeA", "nodeB", "nodeA"},
         {1, 1, 1},
         {"--nodes=2", "--nodelist=nodeA,nodeB", "--ntasks=3"},
         "exec srun --distribution=arbitrary --nodelist=nodeA,nodeB,nodeA '"},
        // Even counts need no placement; entries no host reached are left out.
        {{"nodeA", "nodeB", ""}, {2, 2, 0}, {"--ntasks-per-node=2", "--nodelist=nodeA,nodeB"}, "exec srun '"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        JobRequest request = OneNodeRequest();
        request.mode = ZEP_COMPUTING_MULTI_NODE;
        request.nodeNames = c.names;
        request.taskCounts = c.counts;
        Submission submission;
        std::string error;
        ASSERT_TRUE(BuildSubmission(request, "vm", &submission, &error));
        for (const std::string& option : c.options) EXPECT_TRUE(Has(submission, option)) << option;
        EXPECT_NE(submission.script.find(c.script), std::string::npos) << submission.script;
    }
}

TEST(SlurmJob, RequestsThatSlurmCannotTakeAreRefusedAndJobIdsAreReadStrictly) {
    const struct {
        void (*change)(JobRequest&);
        const char* error;  // empty: any text
    } refused[] = {{[](JobRequest& r) { r.taskCounts = {0}; }, "the job has no tasks"},
                   {[](JobRequest& r) { r.nodeNames = {"node,evil"}; }, ""},
                   {[](JobRequest& r) { r.nodeNames = {"node one"}; }, ""},
                   {[](JobRequest& r) { r.exePath.clear(); }, "the job has no program"}};
    for (const auto& c : refused) {
        JobRequest request = OneNodeRequest();
        c.change(request);
        Submission submission;
        std::string error;
        EXPECT_FALSE(BuildSubmission(request, "vm", &submission, &error)) << c.error;
        EXPECT_EQ(error, *c.error != '\0' ? c.error : error);
    }

    const std::pair<const char*, long> ids[] = {{"42\n", 42}, {"7;zeptest\n", 7},
                                                {"", -1},     {"Submitted batch job 5", -1},
                                                {"12x", -1},  {"99999999999999999999", -1}};
    for (const auto& id : ids) EXPECT_EQ(ParseSubmittedJobId(id.first), id.second) << id.first;
}

TEST(SlurmJob, ReadsJobRecordsWithBlanksInsideValues) {
    const std::string line = zep::testing::ReadFile(zep::testing::DataPath("companions/scontrol_job.txt"));
    std::map<std::string, std::string> fields = ParseSlurmFields(line);
    EXPECT_EQ(fields["JobName"], "Tarvik3D HPC Job - solver.exe");
    EXPECT_EQ(fields["WorkDir"], "/data/my project/run");
    EXPECT_EQ(fields["ReqB:S:C:T"], "0:0:*:*");
    EXPECT_EQ(fields["Dependency"], "(null)");

    CZEPHPCJobInfoMessage info;
    ASSERT_TRUE(FillJobInfo(fields, info));
    EXPECT_EQ(info.m_lJobID, 12);
    EXPECT_EQ(info.m_eState, ZEP_JOB_FINISHED);
    EXPECT_STREQ(info.PrintJobBasicStartInfo(),
                 "Job 12 \"Tarvik3D HPC Job - solver.exe\": state COMPLETED, nodes vm, submitted "
                 "2026-12-06T09:40:01, started 2026-12-06T09:40:03");
    EXPECT_STREQ(info.PrintJobBasicEndInfo(),
                 "Job 12 \"Tarvik3D HPC Job - solver.exe\": state COMPLETED, nodes vm, started "
                 "2026-12-06T09:40:03, ended 2026-12-06T09:40:05, exit code 0:0");

    // The several-line form of scontrol reads the same.
    std::map<std::string, std::string> multi =
        ParseSlurmFields("JobId=3 JobName=wrap\n   UserId=root(0) JobState=PENDING Reason=Priority\n");
    EXPECT_EQ(multi["JobName"], "wrap");
    EXPECT_EQ(multi["JobState"], "PENDING");

    // A record without a job, and an empty message object, still give texts.
    CZEPHPCJobInfoMessage empty;
    EXPECT_FALSE(FillJobInfo(ParseSlurmFields("slurm_load_jobs error: Invalid job id specified"), empty));
    EXPECT_STREQ(
        empty.PrintJobBasicEndInfo(),
        "Job -1 \"\": state Unknown, nodes Unknown, started Unknown, ended Unknown, exit code Unknown");
}

TEST(SlurmJob, FinishedJobsAreFoundInTheCompletionFile) {
    const std::string file = zep::testing::ReadFile(zep::testing::DataPath("companions/jobcomp.txt"));
    EXPECT_EQ(FindCompletedJob(file, 2), "");
    std::string line = FindCompletedJob(file, 11);
    CZEPHPCJobInfoMessage info;
    ASSERT_TRUE(FillJobInfo(ParseSlurmFields(line), info));
    EXPECT_EQ(info.m_sJobName, "eleventh");
    EXPECT_EQ(info.m_eState, ZEP_JOB_FAILED);
    EXPECT_EQ(info.m_sExitCode, "7:0");
    ASSERT_TRUE(FillJobInfo(ParseSlurmFields(FindCompletedJob(file, 1)), info));
    EXPECT_EQ(info.m_sJobName, "first");

    // Accounting's record of the job reads as scontrol's.
    std::map<std::string, std::string> accounted = ParseSacctJob(
        "11|Tarvik3D HPC Job - a|b.exe|FAILED|vm|2026-12-06T09:00:00|2026-12-06T09:00:01|"
        "2026-12-06T09:00:02|7:0\n");
    EXPECT_TRUE(accounted.empty()) << "a name with a bar cannot be told apart: not read";
    accounted = ParseSacctJob(
        "11|Tarvik3D HPC Job - solver.exe|FAILED|vm|2026-12-06T09:00:00|2026-12-06T09:00:01|"
        "2026-12-06T09:00:02|7:0\r\n");
    ASSERT_TRUE(FillJobInfo(accounted, info));
    EXPECT_STREQ(
        info.PrintJobBasicEndInfo(),
        "Job 11 \"Tarvik3D HPC Job - solver.exe\": state FAILED, nodes vm, started 2026-12-06T09:00:01, "
        "ended 2026-12-06T09:00:02, exit code 7:0");
    EXPECT_TRUE(ParseSacctJob("").empty());
    EXPECT_TRUE(ParseSacctJob("JobID|JobName|State|NodeList|Submit|Start|End|ExitCode\n").empty());

    std::map<std::string, std::string> config = ParseSlurmConfig(
        "Configuration data as of 2026-12-06T09:00:00\nJobCompLoc              = /tmp/s/jobcomp.txt\n"
        "JobCompType             = jobcomp/filetxt\n");
    EXPECT_EQ(config["JobCompLoc"], "/tmp/s/jobcomp.txt");
    EXPECT_EQ(config["JobCompType"], "jobcomp/filetxt");
}

TEST(SlurmJob, StatesMapToTheCompanionsStates) {
    const std::pair<const char*, ZEPJobState> states[] = {
        {"PENDING", ZEP_JOB_QUEUED},
        {"RUNNING", ZEP_JOB_RUNNING},
        {"COMPLETING", ZEP_JOB_RUNNING},  // output may still be written
        {"COMPLETED", ZEP_JOB_FINISHED},
        {"CANCELLED by 0", ZEP_JOB_CANCELED},
        {"TIMEOUT", ZEP_JOB_FAILED},
        {"NODE_FAIL", ZEP_JOB_FAILED},
        {"", ZEP_JOB_UNKNOWN}};
    for (const auto& state : states) {
        EXPECT_EQ(StateFromSlurm(state.first), state.second) << state.first;
        const bool final = state.second == ZEP_JOB_FINISHED || state.second == ZEP_JOB_CANCELED ||
                           state.second == ZEP_JOB_FAILED;
        EXPECT_EQ(IsFinalState(state.second), final) << state.first;
    }
}

TEST(SlurmOverSsh, HeadNodesAreHostsWithAnOptionalPort) {
    // The text, and the host and port read from it; an address with several colons has no port.
    const std::pair<std::string, std::string> cases[] = {
        {"head", "head 22"},
        {"head.cluster.example:2222", "head.cluster.example 2222"},
        {"127.0.0.1:65535", "127.0.0.1 65535"},
        {"[::1]:2200", "::1 2200"},
        {"[::1]", "::1 22"},
        {"::1", "::1 22"},
        {"", ""},
        {"head:", ""},
        {"head:0", ""},
        {"head:65536", ""},
        {"head:22x", ""},
        {"[::1]2200", ""},
        {"two words", ""}};
    for (const auto& c : cases) {
        HeadNode node;
        const bool ok = ParseHeadNode(c.first, &node);
        EXPECT_EQ(ok ? node.host + " " + std::to_string(node.port) : "", c.second) << c.first;
    }
}

TEST(SlurmOverSsh, RemoteCommandsGiveEveryWordAndTheScriptUnchanged) {
    if (zep::testing::TextLineEnd() != "\n") GTEST_SKIP() << "the stand-in sbatch needs a POSIX shell";
    zep::testing::ScopedTempDir dir;
    // A stand-in sbatch: its arguments one per line, then its standard input.
    const std::string bin = dir.path();
    zep::testing::WriteFile(bin + "/sbatch",
                            "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\necho ---\ncat\n");
    ASSERT_EQ(std::system(("chmod 755 '" + bin + "/sbatch'").c_str()), 0);

    const std::vector<std::string> options = {"--job-name=Tarvik3D HPC Job - it's $HOME `id` \"x\"",
                                              "--chdir=/data/R&D; rm -rf /", "--output=/d/100%%"};
    const std::string script = "#!/bin/sh\nexec srun '/opt/a b' 'it'\\''s'\n";
    const std::string command = RemoteSubmitCommand(options, script);
    const std::string out = dir.File("out");
    ASSERT_EQ(std::system(("PATH='" + bin + "':$PATH; export PATH; " + command + " > '" + out + "'").c_str()),
              0)
        << command;
    EXPECT_EQ(zep::testing::ReadFile(out),
              "[" + options[0] + "]\n[" + options[1] + "]\n[" + options[2] + "]\n---\n" + script);

    EXPECT_EQ(ShellCommandLine({"scontrol", "show", "job", "-o", "42"}), "'scontrol' 'show' 'job' '-o' '42'");
}

}  // namespace
}  // namespace companions
}  // namespace zep
