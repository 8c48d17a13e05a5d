// A one-node cluster job as the library submits it, and what a job that ends well leaves behind.
#ifndef ZEP3D_INTEGRATION_SLURMJOBS_H_
#define ZEP3D_INTEGRATION_SLURMJOBS_H_

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "TestUtil.h"
#include "ZEPHpcTool.h"

namespace zep {
namespace testing {

// Submits `tasks` tasks of `solver` on `node` with the arguments "-project "my run.cmx" -np 2", the job's
// folder and its output files named with backslashes after `folder`; returns HPC_CreateJob's code.
inline int SubmitJob(long& jobId, const std::string& solver, const std::string& folder, const char* node,
                     int tasks, const std::string& user = "user", const std::string& password = "password") {
    std::string name = node;
    char* names[] = {&name[0]};
    int counts[] = {tasks};
    CZEPHpcTool tool;
    return tool.HPC_CreateJob(
        jobId, user.c_str(), password.c_str(), "Tarvik3D HPC Job - solver.sh", ZEP_COMPUTING_SINGLE_NODE, 1,
        names, counts, solver.c_str(), "-project \"my run.cmx\" -np 2", folder.c_str(),
        (folder + "\\zephpc_stdout.txt").c_str(), (folder + "\\zephpc_stderr.txt").c_str(), "localhost");
}

// Waits for a job that ends well, with the job's folder `folder`; checks its start and end summaries and
// each task's lines in the output files in `outFolder`: "task <rank> of <tasks>" and `where`, "err <rank>".
inline void ExpectJobCompletes(long jobId, const std::string& folder, const std::string& node, int tasks,
                               const std::string& outFolder, const std::string& where) {
    using ::testing::HasSubstr;
    CZEPHpcTool tool;
    CZEPHPCJobInfoMessage info;
    ASSERT_EQ(tool.HPC_GetJobInfo(jobId, info, "localhost"), 0);
    const std::string job = "Job " + std::to_string(jobId) + " \"Tarvik3D HPC Job - solver.sh\": state ";
    EXPECT_THAT(std::string(info.PrintJobBasicStartInfo()), HasSubstr(job));
    ZEPJobState state = ZEP_JOB_UNKNOWN;
    ASSERT_EQ(tool.HPC_WaitJobToFinish(jobId, state, folder.c_str(), "127.0.0.1", "localhost"), 0);
    EXPECT_EQ(state, ZEP_JOB_FINISHED);
    ASSERT_EQ(tool.HPC_GetJobInfo(jobId, info, "localhost"), 0);
    const std::string end = info.PrintJobBasicEndInfo();
    EXPECT_THAT(end, ::testing::AllOf(HasSubstr(job + "COMPLETED, nodes " + node + ", started "),
                                      HasSubstr(", exit code 0:0"), ::testing::Not(HasSubstr("Unknown"))));
    const std::string out = ReadFile(outFolder + "/zephpc_stdout.txt");
    const std::string err = ReadFile(outFolder + "/zephpc_stderr.txt");
    for (int task = 0; task < tasks; ++task) {
        const std::string id = std::to_string(task);
        EXPECT_THAT(out, HasSubstr("task " + id + " of " + std::to_string(tasks) + where + "\n"));
        EXPECT_THAT(err, HasSubstr("err " + id + "\n"));
    }
}

}  // namespace testing
}  // namespace zep

#endif  // ZEP3D_INTEGRATION_SLURMJOBS_H_
