// Tests of zep3dtool's pieces: the numbers of the options, the progress line of encrypt and decrypt, the
// vector CSV reader of arrows (the options themselves are tested on the whole program), and run's account
// of a launch, over the companions' doubles: what failed on the Linux storage node or in the cluster job,
// and the exit code it gives.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Commands.h"
#include "CompanionFakes.h"
#include "Options.h"
#include "Progress.h"
#include "RunFolder.h"
#include "TestUtil.h"
#include "VectorCsv.h"
#include "ZEPHpcTool.h"
#include "tools/CommandHandler.h"

namespace zep {
namespace apps {
namespace {

TEST(Options, NumbersAreWholeAndInRange) {
    long n = 0;
    EXPECT_TRUE(ParseInteger("16", 1, 32, &n));
    EXPECT_EQ(n, 16);
    for (const char* bad : {"", "0", "33", "-1", "+4", " 4", "4 ", "4x", "99999999999999999999"})
        EXPECT_FALSE(ParseInteger(bad, 1, 32, &n)) << bad;

    double d = 0.0;
    EXPECT_TRUE(ParseNumber("-1.5e3", &d));
    EXPECT_EQ(d, -1500.0);
    for (const char* bad : {"", " 1", "1 ", "1,5", "nan", "inf", "1e999", "abc"})
        EXPECT_FALSE(ParseNumber(bad, &d)) << bad;
}

TEST(Progress, LineShowsBarPercentageAmountsInTheLargestFittingUnitAndThroughput) {
    const uint64_t mib = 1024 * 1024;
    EXPECT_EQ(FormatProgress("encrypt", 10 * mib, 20 * mib, 0.5, 10),
              "encrypt [#####-----]  50%  10.0 MiB of 20.0 MiB  20.0 MiB/s");
    // No time yet: no throughput. More done than the total (padding, header) shows as complete.
    EXPECT_EQ(FormatProgress("decrypt", 0, 4096, 0.0, 4), "decrypt [----]   0%  0 B of 4.00 KiB");
    EXPECT_EQ(FormatProgress("decrypt", 5000, 4096, 1.0, 4),
              "decrypt [####] 100%  4.00 KiB of 4.00 KiB  4.00 KiB/s");
    EXPECT_EQ(FormatProgress("x", 0, 0, 0.0, 2), "x [##] 100%  0 B of 0 B");
    EXPECT_EQ(FormatBytes(1023) + "|" + FormatBytes(1536) + "|" + FormatBytes(300.0 * mib) + "|" +
                  FormatBytes(1.25 * 1024 * mib),
              "1023 B|1.50 KiB|300 MiB|1.25 GiB");
}

TEST(VectorCsv, ReadsVectorsSkippingCommentsBlankLinesAndAHeader) {
    std::vector<Vector6> vectors;
    std::string error;
    ASSERT_TRUE(
        ParseVectorCsv("x1,y1,z1,x2,y2,z2\r\n# a comment\r\n\r\n 0, 0 ,0,1,0,0\r\n"
                       "-1.5,2e1,3,4,5,6\n  \n",
                       &vectors, &error))
        << error;
    EXPECT_EQ(vectors, (std::vector<Vector6>{{0, 0, 0, 1, 0, 0}, {-1.5f, 20, 3, 4, 5, 6}}));

    vectors.clear();
    EXPECT_TRUE(ParseVectorCsv("", &vectors, &error));
    EXPECT_TRUE(vectors.empty());
}

TEST(VectorCsv, NamesTheFirstBadLine) {
    const char* const fields = "expected 6 comma-separated numbers (x1,y1,z1,x2,y2,z2), found ";
    const struct {
        const char* text;
        std::string error;
    } cases[] = {
        {"0,0,0,1,0,0\n1,2,3\n", "line 2: " + std::string(fields) + "3 fields"},
        {"0,0,0,1,0,0,7\n", "line 1: " + std::string(fields) + "7 fields"},
        {"# c\n0,0,0,1,x,0\n", "line 2: 'x' is not a finite number"},
        {"0,0,0,1,0,nan\n", "line 1: 'nan' is not a finite number"},
        {"0,0,0,1,0,1e39\n", "line 1: '1e39' is not a finite number"},
        {"0,0,0,1,0,\n", "line 1: '' is not a finite number"},
        // Only the first data line may be a header.
        {"0,0,0,1,0,0\na,b,c,d,e,f\n", "line 2: 'a' is not a finite number"},
        {"x1,y1,z1,x2,y2,2\n", "line 1: 'x1' is not a finite number"},
    };
    for (const auto& c : cases) {
        std::vector<Vector6> vectors;
        std::string error;
        EXPECT_FALSE(ParseVectorCsv(c.text, &vectors, &error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

using zep::testing::MachineBlock;
using zep::testing::TaskBlock;

const std::string kNodeRun =
    TaskBlock(11, 2) +
    MachineBlock({"node1 2 /opt/T/"}, {"1"},
                 "ValueShareFolderName=Work\nValueLocalHost=PC01\nValueSharedTarvik3DName=/opt/T/\n");
const std::string kClusterRun = TaskBlock(12, 2);

class RunOutcome : public ::testing::Test {
  protected:
    void SetUp() override { zep::fakes::Reset(); }

    // Sets up and launches the run of `cmx` as zep3dtool run does, and says what failed.
    std::string Failure(const std::string& cmx) {
        run_.WriteCmx(cmx);
        CommandHandler handler(0);
        handler.SetCommandArguments(0, "\"C:\\App\\*D:\\Work\\P*\"", "C:\\App\\", run_.projectDir().c_str(),
                                    "Part", "solver.exe", "01");
        handler.ReadCMX4TaskManager();
        handler.WriteParallelFile();
        long jobId = -1;
        zep::testing::StdoutCapture out;
        handler.SpawnMPIProcess(jobId);
        handler.WaitHPCJob();
        return LaunchFailure(handler, jobId);
    }

    zep::testing::RunFolder run_;
    zep::testing::SleepRecorder sleeps_;
};

TEST_F(RunOutcome, NamesWhatFailedOnTheStorageNodeOrInTheClusterJob) {
    struct Case {
        const char* name;
        const std::string& cmx;
        std::function<void()> script;
        std::string failure;
    } cases[] = {
        {"node run", kNodeRun, [] {}, ""},
        {"refused SSH", kNodeRun,
         [] { zep::fakes::ScriptResults("CZEPSSH2Tool::SSH2_RemoteCommandOutputToFile", {-3}); },
         "the run on the storage node node1 failed over SSH (code -3)"},
        {"failing launcher", kNodeRun, [] { zep::fakes::ScriptLauncherExitCode(2); },
         "the run on the storage node node1 failed: its launcher ended with exit code 2"},
        {"finished job", kClusterRun, [] {}, ""},
        {"failed job", kClusterRun, [] { zep::fakes::ScriptJobEnd(ZEP_JOB_FAILED, "FAILED"); },
         "the cluster job 1 ended FAILED"},
        {"timed-out job", kClusterRun, [] { zep::fakes::ScriptJobEnd(ZEP_JOB_FAILED, "TIMEOUT"); },
         "the cluster job 1 ended TIMEOUT"},
        {"node failure", kClusterRun, [] { zep::fakes::ScriptJobEnd(ZEP_JOB_FAILED, "NODE_FAIL"); },
         "the cluster job 1 ended NODE_FAIL"},
        {"cancelled job", kClusterRun, [] { zep::fakes::ScriptJobEnd(ZEP_JOB_CANCELED, "CANCELLED by 0"); },
         "the cluster job 1 ended CANCELLED"},
        {"lost wait", kClusterRun,
         [] { zep::fakes::ScriptResults("CZEPHpcTool::HPC_WaitJobToFinish", {-4}); },
         "the cluster job 1 could not be followed to its end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        zep::fakes::Reset();
        c.script();
        EXPECT_EQ(Failure(c.cmx), c.failure);
    }
}

TEST_F(RunOutcome, AFailedClusterJobExitsWith3) {
    zep::testing::ScopedTempDir install;
    const std::vector<std::string> args = {"--install", install.path(), "--project", run_.projectDir(),
                                           "--base",    "Part",         "--run-id",  "01",
                                           "--solver",  "solver.exe"};
    run_.WriteCmx(kClusterRun);
    zep::testing::StdoutCapture out;
    EXPECT_EQ(RunCommand(args), 0);
    zep::fakes::ScriptJobEnd(ZEP_JOB_FAILED, "FAILED");
    EXPECT_EQ(RunCommand(args), 3);
    // Both runs say their status and the job; only the exit code tells them apart.
    const std::string run =
        "Get password information from acc.ini failed.\nJob 1 started\nJob 1 ended\n"
        "Status: 1 (parallel run on one machine)\nCluster job: 1\n";
    EXPECT_EQ(out.Stop(), run + run);
}

}  // namespace
}  // namespace apps
}  // namespace zep
