// Tests of the companions that read the environment's locale on POSIX; the process's own locale is left
// alone.
#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <string>

#include "ScopedEnvironment.h"
#include "ZEPLocale.h"
#include "ZEPUnicodeTool.h"

namespace {

using zep::testing::ScopedEnvironment;

std::string DefaultLocaleWith(const char* name, const char* value) {
    ScopedEnvironment environment;
    if (name != nullptr) environment.Set(name, value);
    CZEPLocale locale;
    return locale.GetSystemDefaultLocale();
}

TEST(ZEPLocalePosix, NamesTheEnvironmentsLocaleOrC) {
    std::string before = std::setlocale(LC_ALL, nullptr);
    EXPECT_EQ(DefaultLocaleWith("LC_ALL", "C.UTF-8"), "C.UTF-8");
    EXPECT_EQ(DefaultLocaleWith("LANG", "C.UTF-8"), "C.UTF-8");
    EXPECT_EQ(DefaultLocaleWith(nullptr, nullptr), "C");
    EXPECT_EQ(DefaultLocaleWith("LANG", "xx_YY.NOPE"), "C");
    EXPECT_EQ(DefaultLocaleWith("LC_ALL", ""), "C");

    // Whatever it names, a locale can be built from it.
    CZEPLocale locale;
    const char* name = locale.GetSystemDefaultLocale();
    ASSERT_NE(name, nullptr);
    EXPECT_NO_THROW(std::locale{name});
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
}

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
        ScopedEnvironment environment;
        environment.Set(c.name, c.value);
        tool.AnsiToUtf16(c.text, wide);
        EXPECT_EQ(std::wstring(wide), c.wide) << c.value << ": " << c.text;
    }
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
}

}  // namespace
