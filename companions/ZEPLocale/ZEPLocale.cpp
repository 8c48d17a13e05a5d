// The locale companion: the default locale's name, checked against std::locale's named constructor so
// that a caller can always build a locale from it.
#include "ZEPLocale.h"

#include <locale>

#include "ZEPLocaleNames.h"

namespace {

bool Accepted(const std::string& name) {
    try {
        std::locale probe(name.c_str());
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

CZEPLocale::CZEPLocale() {}
CZEPLocale::~CZEPLocale() {}

const char* CZEPLocale::GetSystemDefaultLocale() {
    try {
        m_sName = "C";
        for (const std::string& name : zep::companions::DefaultLocaleCandidates()) {
            if (!name.empty() && Accepted(name)) {
                m_sName = name;
                break;
            }
        }
    } catch (...) {
        m_sName = "C";
    }
    return m_sName.c_str();
}
