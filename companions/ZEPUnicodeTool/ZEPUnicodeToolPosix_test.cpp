// Tests of the text conversion companion on POSIX: the system code page is the character set of the
// environment's locale, and the process's own locale is left alone.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "ScopedEnvironment.h"
#include "ZEPUnicodeTool.h"

namespace {

TEST(ZEPUnicodeToolPosix, ReadsTheSystemCodePageFromTheEnvironmentOnly) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const struct {
        const char *name, *value, *text;
        std::wstring wide;
    } cases[] = {
        {"LC_ALL", "C.UTF-8", "caf\xC3\xA9", L"caf\x00E9"},
        // A broken sequence is replaced, byte by byte, and the rest still comes through.
        {"LC_ALL", "C.UTF-8", "a\xC3(b\xE2\x82", L"a\xFFFD(b\xFFFD\xFFFD"},
        // The C locale's character set is ASCII: a byte above 127 is not a character of it.
        {"LC_ALL", "C", "caf\xC3\xA9", L"caf\xFFFD\xFFFD"},
        // A locale that does not exist falls back on the C locale's character set.
        {"LANG", "xx_YY.NOPE", "plain", L"plain"},
    };
    CZEPUnicodeTool tool;
    static wchar_t wide[32768];
    for (const auto& c : cases) {
        zep::testing::ScopedEnvironment environment;
        environment.Set(c.name, c.value);
        tool.AnsiToUtf16(c.text, wide);
        EXPECT_EQ(std::wstring(wide), c.wide) << c.value << ": " << c.text;
    }
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
}

}  // namespace
