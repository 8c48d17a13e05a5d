// Tests of the locale companion on POSIX: the environment's locale by a name std::locale accepts, "C"
// when there is none.
#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <string>

#include "ScopedEnvironment.h"
#include "ZEPLocale.h"

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

    // Whatever it names, a locale can be built from it; the process's locale is untouched.
    CZEPLocale locale;
    const char* name = locale.GetSystemDefaultLocale();
    ASSERT_NE(name, nullptr);
    EXPECT_NO_THROW(std::locale{name});
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
}

}  // namespace
