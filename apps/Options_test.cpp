// Tests of the subcommands' option parsing.
#include "Options.h"

#include <gtest/gtest.h>

namespace zep {
namespace apps {
namespace {

Options Sample() {
    return Options("tool x --in FILE", "Sample.",
                   {{"in", "FILE", "input", true}, {"ratio", "R", "ratio"}, {"force", "", "replace"}}, 1);
}

TEST(Options, TakesValuesInBothFormsFlagsAndPositionals) {
    Options options = Sample();
    std::string error;
    ASSERT_TRUE(options.Parse({"--in", "a.csv", "out.stl", "--ratio=0.2", "--force"}, &error)) << error;
    EXPECT_EQ(options.Value("in"), "a.csv");
    EXPECT_EQ(options.Value("ratio"), "0.2");
    EXPECT_TRUE(options.Has("force"));
    EXPECT_EQ(options.Value("missing", "fallback"), "fallback");
    ASSERT_EQ(options.Positionals().size(), 1u);
    EXPECT_EQ(options.Positionals()[0], "out.stl");

    // After "--" everything is positional, also what looks like an option; "-" alone is a file.
    Options dashed = Sample();
    ASSERT_TRUE(dashed.Parse({"--in", "-", "--", "--force"}, &error)) << error;
    EXPECT_EQ(dashed.Value("in"), "-");
    EXPECT_FALSE(dashed.Has("force"));
    EXPECT_EQ(dashed.Positionals()[0], "--force");
}

TEST(Options, RefusesEachMistakeWithOneLine) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--in", "a", "b", "--bogus"}, "unknown option '--bogus'"},
        {{"--in", "a", "b", "-x"}, "unknown option '-x'"},
        {{"--in", "a", "b", "--ratio"}, "option '--ratio' needs a value (R)"},
        {{"--in", "a", "b", "--force=yes"}, "option '--force' takes no value"},
        {{"--in", "a", "--in", "c", "b"}, "option '--in' is given twice"},
        {{"b"}, "option '--in' is required"},
        {{"--in", "a"}, "expected 1 file argument, got 0"},
        {{"--in", "a", "b", "c"}, "expected 1 file argument, got 2"},
    };
    for (const Case& c : cases) {
        Options options = Sample();
        std::string error;
        EXPECT_FALSE(options.Parse(c.args, &error));
        EXPECT_EQ(error, c.error);
    }
    Options none("tool y", "None.", {});
    std::string error;
    EXPECT_FALSE(none.Parse({"stray"}, &error));
    EXPECT_EQ(error, "unexpected argument 'stray'");
}

TEST(Options, HelpWinsOverEveryOtherMistakeAndListsTheOptions) {
    Options options = Sample();
    std::string error;
    ASSERT_TRUE(options.Parse({"--bogus", "--help"}, &error));
    EXPECT_TRUE(options.Help());
    EXPECT_EQ(options.HelpText(),
              "usage: tool x --in FILE\n\nSample.\n\noptions:\n"
              "  --in FILE                 input (required)\n"
              "  --ratio R                 ratio\n"
              "  --force                   replace\n"
              "  --help                    show this help and exit\n");
}

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
