// The locale names that the system offers for its default locale, best first; one implementation per
// system (ZEPLocalePosix.cpp, ZEPLocaleWin32.cpp).
#ifndef ZEP3D_COMPANIONS_ZEPLOCALE_ZEPLOCALENAMES_H_
#define ZEP3D_COMPANIONS_ZEPLOCALE_ZEPLOCALENAMES_H_

#include <string>
#include <vector>

namespace zep {
namespace companions {

// Candidate names of the environment's default locale; may be empty. None is known to be accepted by
// std::locale yet: the caller tries them in order.
std::vector<std::string> DefaultLocaleCandidates();

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_ZEPLOCALE_ZEPLOCALENAMES_H_
