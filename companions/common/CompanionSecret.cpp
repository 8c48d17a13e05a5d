// Conversions of secrets that leave no copy behind: the room is reserved before anything is written.
#include "CompanionSecret.h"

#include <cstring>
#include <cwchar>

#include "CompanionText.h"

namespace zep {
namespace companions {

void WideToUtf8Secret(const wchar_t* text, SecretText& out) {
    size_t length = text != nullptr ? std::wcslen(text) : 0;
    out.Reserve(4 * length + 1);
    AppendWideAsUtf8(text, length, out.text());
}

void SystemToUtf8Secret(const char* text, SecretText& out) {
    size_t length = text != nullptr ? std::strlen(text) : 0;
    SecretWide wide;
    wide.Reserve(length + 1);
    AppendSystemAsWide(text, wide.text());
    WideToUtf8Secret(wide.c_str(), out);
}

}  // namespace companions
}  // namespace zep
