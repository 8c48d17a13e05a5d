// The default locale on POSIX: what the environment (LC_ALL, LC_*, LANG) selects, as the standard
// library names it, without touching the process's global locale.
#include <locale>

#include "ZEPLocaleNames.h"

namespace zep {
namespace companions {

std::vector<std::string> DefaultLocaleCandidates() {
    std::vector<std::string> names;
    try {
        // The environment's locale; its name is one std::locale accepts back (a composite name when
        // the categories differ).
        names.push_back(std::locale("").name());
    } catch (...) {
        // No usable locale in the environment.
    }
    return names;
}

}  // namespace companions
}  // namespace zep
