// Tests of the progress line of zep3dtool encrypt and decrypt.
#include "Progress.h"

#include <gtest/gtest.h>

namespace zep {
namespace apps {
namespace {

TEST(Progress, AmountsUseTheLargestFittingUnit) {
    EXPECT_EQ(FormatBytes(0), "0 B");
    EXPECT_EQ(FormatBytes(1023), "1023 B");
    EXPECT_EQ(FormatBytes(1536), "1.50 KiB");
    EXPECT_EQ(FormatBytes(20.0 * 1024 * 1024), "20.0 MiB");
    EXPECT_EQ(FormatBytes(300.0 * 1024 * 1024), "300 MiB");
    EXPECT_EQ(FormatBytes(1.25 * 1024 * 1024 * 1024), "1.25 GiB");
}

TEST(Progress, LineShowsBarPercentageAmountsAndThroughput) {
    const uint64_t mib = 1024 * 1024;
    EXPECT_EQ(FormatProgress("encrypt", 10 * mib, 20 * mib, 0.5, 10),
              "encrypt [#####-----]  50%  10.0 MiB of 20.0 MiB  20.0 MiB/s");
    // No time yet: no throughput. More done than the total (padding, header) shows as complete.
    EXPECT_EQ(FormatProgress("decrypt", 0, 4096, 0.0, 4), "decrypt [----]   0%  0 B of 4.00 KiB");
    EXPECT_EQ(FormatProgress("decrypt", 5000, 4096, 1.0, 4),
              "decrypt [####] 100%  4.00 KiB of 4.00 KiB  4.00 KiB/s");
    EXPECT_EQ(FormatProgress("x", 0, 0, 0.0, 2), "x [##] 100%  0 B of 0 B");
}

}  // namespace
}  // namespace apps
}  // namespace zep
