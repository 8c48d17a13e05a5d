// Tests of the companions' text helpers.
#include "CompanionText.h"

#include <gtest/gtest.h>

#include <memory>

namespace zep {
namespace companions {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(CompanionText, Utf8RoundTripsEveryCharacterLengthAndMalformedInputBecomesReplacementCharacters) {
    // A, e-acute, the euro sign, and U+1F600 (a pair of surrogates where wchar_t has two bytes).
    const std::string utf8 = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const std::wstring wide = Utf8ToWide(utf8);
    const std::wstring expected =
        L"A\x00E9\x20AC" + (sizeof(wchar_t) == 2
                                ? std::wstring{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)}
                                : std::wstring(1, static_cast<wchar_t>(0x1F600)));
    EXPECT_EQ(wide, expected);
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(WideToUtf8(wide.c_str()), utf8);
    EXPECT_EQ(WideToUtf8(static_cast<const wchar_t*>(nullptr)), "");
    EXPECT_EQ(Utf8ToWide(nullptr, 5), L"");

    // Each byte that does not begin a well-formed sequence stands for one U+FFFD.
    struct Case {
        std::string bytes;
        std::wstring wide;
    } cases[] = {
        {"\xC0\x80", L"\xFFFD\xFFFD"},                      // overlong NUL
        {"\xE0\x80\xAF", L"\xFFFD\xFFFD\xFFFD"},            // overlong slash
        {"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD"},            // a surrogate
        {"\xF4\x90\x80\x80", L"\xFFFD\xFFFD\xFFFD\xFFFD"},  // past U+10FFFF
        {"a\x80z", L"a\xFFFDz"},                            // a stray continuation byte
        {"\xE2\x82", L"\xFFFD\xFFFD"},                      // cut off at the end
        {"\xF5\xC3\xA9", L"\xFFFD\xE9"},                    // a byte that never starts a sequence
    };
    for (const Case& c : cases) EXPECT_EQ(Utf8ToWide(c.bytes), c.wide) << c.bytes;

    EXPECT_EQ(WideToUtf8(std::wstring{static_cast<wchar_t>(0xD800), L'x'}), kReplacement + "x");
    if (sizeof(wchar_t) == 4) {
        EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), kReplacement);
    }
}

TEST(CompanionText, CopiesAreCutAtACharacterBoundaryAndAlwaysTerminated) {
    // Three-byte characters into buffers of every small size: never a split character, never a byte
    // past the end (the buffers are exact heap blocks, so AddressSanitizer sees any overrun).
    const std::string euros = "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC";
    for (size_t units = 1; units <= 11; ++units) {
        std::unique_ptr<char[]> out(new char[units]);
        size_t written = CopyUtf8Cut(euros, out.get(), units);
        size_t expected = ((units - 1) / 3) * 3;
        if (expected > euros.size()) expected = euros.size();
        EXPECT_EQ(written, expected) << units;
        EXPECT_EQ(std::string(out.get()), euros.substr(0, expected)) << units;
    }
    EXPECT_EQ(CopyUtf8Cut(euros, nullptr, 10), 0u);

    std::wstring wide = Utf8ToWide(
        "ab\xF0\x9F\x98\x80"
        "c");
    for (size_t units = 1; units <= 7; ++units) {
        std::unique_ptr<wchar_t[]> out(new wchar_t[units]);
        size_t written = CopyWideCut(wide, out.get(), units);
        ASSERT_LT(written, units);
        EXPECT_EQ(out[written], 0);
        // What is kept converts back without a replacement: no half of a pair was kept.
        EXPECT_EQ(WideToUtf8(std::wstring(out.get())).find(kReplacement), std::string::npos) << units;
    }
    std::unique_ptr<wchar_t[]> four(new wchar_t[4]);
    CopyWideCut(wide, four.get(), 4);
    EXPECT_EQ(std::wstring(four.get()), sizeof(wchar_t) == 2 ? L"ab" : wide.substr(0, 3));
}

TEST(CompanionText, SplitsCommandLinesByTheWindowsRulesAndQuotedArgumentsSplitBackUnchanged) {
    struct Case {
        const char* line;
        std::vector<std::string> args;
    } cases[] = {
        {"", {}},
        {"  \t ", {}},
        {"a b\tc", {"a", "b", "c"}},
        {"\"C:\\Program Files\\x.exe\" -n 4", {"C:\\Program Files\\x.exe", "-n", "4"}},
        {"a\\\\b c\\d", {"a\\\\b", "c\\d"}},                   // backslashes not before a quote stay
        {"a\\\"b", {"a\"b"}},                                  // \" is a literal quote
        {"a\\\\\"b c\"", {"a\\b c"}},                          // \\" is one backslash and an opening quote
        {"a\\\\\\\"b", {"a\\\"b"}},                            // \\\" is a backslash and a literal quote
        {"\"\" x", {"", "x"}},                                 // an empty quoted argument
        {"\"a \"\"quoted\"\" word\"", {"a \"quoted\" word"}},  // "" inside quotes
        {"pre\"mid dle\"post", {"premid dlepost"}},
        {"\"open to the end", {"open to the end"}},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitWindowsCommandLine(c.line), c.args) << c.line;
    EXPECT_TRUE(SplitWindowsCommandLine(nullptr).empty());

    const std::vector<std::string> args = {
        "plain", "", "two words", "C:\\Run Folder\\", "say \"hi\"", "tail\\\\", "a\\\"b", "\t",
    };
    std::string line;
    for (const std::string& arg : args) line += QuoteWindowsArgument(arg) + " ";
    EXPECT_EQ(SplitWindowsCommandLine(line.c_str()), args);
    EXPECT_EQ(QuoteWindowsArgument("plain"), "plain");
    EXPECT_EQ(QuoteWindowsArgument("C:\\Run Folder\\"), "\"C:\\Run Folder\\\\\"");

    EXPECT_EQ(QuoteShellArgument("it's $HOME"), "'it'\\''s $HOME'");
    EXPECT_EQ(QuoteShellArgument(""), "''");
}

}  // namespace
}  // namespace companions
}  // namespace zep
