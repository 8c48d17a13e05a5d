// Tests of the number parsing of the subcommands' options; the parsing of the options themselves is
// tested on the whole program (zep3dtool_test.cpp).
#include "Options.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace apps
}  // namespace zep
