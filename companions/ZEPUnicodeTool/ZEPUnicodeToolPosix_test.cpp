// Tests of the text conversion companion on POSIX: the system code page is the character set of the
// environment's locale, and the process's own locale is left alone.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "ScopedEnvironment.h"
#include "ZEPUnicodeTool.h"

namespace {

using zep::testing::ScopedEnvironment;

TEST(ZEPUnicodeToolPosix, ReadsTheSystemCodePageFromTheEnvironmentOnly) {
    std::string before = std::setlocale(LC_ALL, nullptr);
    CZEPUnicodeTool tool;
    static wchar_t wide[32768];
    {
        ScopedEnvironment environment;
        environment.ClearLocale();
        environment.Set("LC_ALL", "C.UTF-8");
        tool.AnsiToUtf16("caf\xC3\xA9", wide);
        EXPECT_EQ(std::wstring(wide), L"caf\x00E9");
        // A broken sequence is replaced, byte by byte, and the rest still comes through.
        tool.AnsiToUtf16("a\xC3(b\xE2\x82", wide);
        EXPECT_EQ(std::wstring(wide), L"a\xFFFD(b\xFFFD\xFFFD");
    }
    {
        // The C locale's character set is ASCII: a byte above 127 is not a character of it.
        ScopedEnvironment environment;
        environment.ClearLocale();
        environment.Set("LC_ALL", "C");
        tool.AnsiToUtf16("caf\xC3\xA9", wide);
        EXPECT_EQ(std::wstring(wide), L"caf\xFFFD\xFFFD");
    }
    {
        // A locale that does not exist falls back on the C locale's character set.
        ScopedEnvironment environment;
        environment.ClearLocale();
        environment.Set("LANG", "xx_YY.NOPE");
        tool.AnsiToUtf16("plain", wide);
        EXPECT_EQ(std::wstring(wide), L"plain");
    }
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
}

}  // namespace
