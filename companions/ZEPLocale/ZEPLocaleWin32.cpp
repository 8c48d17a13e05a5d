// The default locale on Windows: the user's default locale in the CRT's "Language_Country.CodePage"
// form and as a locale name ("en-US"); the runtime's std::locale decides which it accepts.
#include <windows.h>

#include "ZEPLocaleNames.h"

namespace zep {
namespace companions {
namespace {

std::string LocaleInfo(LCID lcid, LCTYPE type) {
    char buffer[128] = {0};
    int n = GetLocaleInfoA(lcid, type, buffer, static_cast<int>(sizeof(buffer)));
    return n > 1 ? std::string(buffer) : std::string();
}

}  // namespace

std::vector<std::string> DefaultLocaleCandidates() {
    std::vector<std::string> names;
    LCID lcid = GetUserDefaultLCID();
    std::string language = LocaleInfo(lcid, LOCALE_SENGLANGUAGE);
    std::string country = LocaleInfo(lcid, LOCALE_SENGCOUNTRY);
    std::string codePage = LocaleInfo(lcid, LOCALE_IDEFAULTANSICODEPAGE);
    if (!language.empty() && !country.empty()) {
        std::string name = language + "_" + country;
        if (!codePage.empty()) name += "." + codePage;
        names.push_back(name);
    }
    std::string iso = LocaleInfo(lcid, LOCALE_SISO639LANGNAME);
    std::string region = LocaleInfo(lcid, LOCALE_SISO3166CTRYNAME);
    if (!iso.empty() && !region.empty()) names.push_back(iso + "-" + region);
    return names;
}

}  // namespace companions
}  // namespace zep
