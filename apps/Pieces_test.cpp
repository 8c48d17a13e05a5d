// Tests of zep3dtool's pieces: the numbers of the options, the progress line of encrypt and decrypt, and
// the vector CSV reader of arrows. The options themselves are tested on the whole program.
#include <gtest/gtest.h>

#include "Options.h"
#include "Progress.h"
#include "VectorCsv.h"

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

}  // namespace
}  // namespace apps
}  // namespace zep
