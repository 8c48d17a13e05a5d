// Tests of the example solver's partition file and command-line reading.
#include "PartitionFile.h"

#include <gtest/gtest.h>

namespace zep {
namespace solver {
namespace {

TEST(PartitionFile, GivesEveryPartitionAnEqualShareOnOneMachineAndItsWeightOnSeveral) {
    const struct {
        const char* text;
        size_t machineLines;
        std::vector<double> weights;
    } cases[] = {
        {"#NPartition\r\n4\r\n#ParallelMode_IS_SMP\r\n", 0, {0.25, 0.25, 0.25, 0.25}},
        {"#NPartition\n3\nhosts\nPC01 2 C:\\App\\\\bin\\s.exe \"x*y*\"\n"
         "PC02 1 C:\\App\\\\bin\\s.exe \"x*y*\"\n#ParaWeightFactor  0.25 0.25 0.5\n",
         2,
         {0.25, 0.25, 0.5}},
        // The Linux form has no "hosts" line: the machine lines follow the count.
        {"#NPartition\n1\nnode1 1 /opt/z/s x\n#ParaWeightFactor  1\n", 1, {1.0}},
    };
    PartitionFile file;  // one for all: each file read replaces what the last one gave
    std::string error;
    for (const auto& c : cases) {
        ASSERT_TRUE(ParsePartitionFile(c.text, &file, &error)) << error;
        EXPECT_EQ(file.partitions, static_cast<int>(c.weights.size()));
        EXPECT_EQ(file.singleMachine, c.machineLines == 0);
        EXPECT_EQ(file.machineLines.size(), c.machineLines);
        EXPECT_EQ(file.weights.size(), c.machineLines == 0 ? 0 : c.weights.size());
        for (size_t i = 0; i < c.weights.size(); ++i)
            EXPECT_EQ(PartitionWeight(file, static_cast<int>(i)), c.weights[i]);
    }
}

TEST(PartitionFile, RefusesFilesThatDoNotDescribeTheRun) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"", "no \"#NPartition\" line"},
        {"#NPartition\n", "the partition count after \"#NPartition\" is not a positive number"},
        {"#NPartition\n0\n#ParallelMode_IS_SMP\n",
         "the partition count after \"#NPartition\" is not a positive number"},
        {"#NPartition\nfour\n", "the partition count after \"#NPartition\" is not a positive number"},
        {"#NPartition\n2\nhosts\n", "neither \"#ParallelMode_IS_SMP\" nor a \"#ParaWeightFactor\" line"},
        {"#NPartition\n2\n#ParaWeightFactor  0.5\n", "the partition count is 2 but 1 weights are given"},
        {"#NPartition\n1\n#ParaWeightFactor  a\n",
         "the \"#ParaWeightFactor\" line holds something other than numbers"},
    };
    for (const Case& c : cases) {
        PartitionFile file;
        std::string error;
        EXPECT_FALSE(ParsePartitionFile(c.text, &file, &error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

TEST(PartitionFile, CommandLineNamesTheRunFolderAndTheRunName) {
    using V = std::vector<std::string>;
    EXPECT_EQ(PartitionFileCandidates({"/opt/zep/*/w/p/Analysis/Run01*", "Demo01"}),
              (V{"/w/p/Analysis/Run01/Demo01.ppp", "Demo01.ppp"}));
    // Backslashes of the library's paths; the run name right after the second marker.
    EXPECT_EQ(PartitionFileCandidates({"-x", "C:\\App\\*\\\\PC01\\Work\\Run01\\*Part01"}),
              (V{"//PC01/Work/Run01/Part01.ppp", "Part01.ppp"}));
    EXPECT_EQ(PartitionFileCandidates({"**", "Demo01"}), (V{"Demo01.ppp"}));
    EXPECT_TRUE(PartitionFileCandidates({"/opt/zep/*/w/p*"}).empty());
    EXPECT_TRUE(PartitionFileCandidates({"Demo01"}).empty());
    EXPECT_TRUE(PartitionFileCandidates({}).empty());
}

}  // namespace
}  // namespace solver
}  // namespace zep
