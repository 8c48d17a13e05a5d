// The system code page on POSIX: the character set of the environment's default locale, used through
// a thread-local locale so that the process's global locale stays as it is.
#include <limits.h>
#include <locale.h>
#include <string.h>
#include <wchar.h>

#include <cstring>

#include "CompanionText.h"

namespace zep {
namespace companions {
namespace {

// Makes the environment's character set the calling thread's own while it lives.
class EnvironmentCtype {
  public:
    EnvironmentCtype() {
        locale_ = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
        if (locale_ == static_cast<locale_t>(0))
            locale_ = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
        if (locale_ != static_cast<locale_t>(0)) previous_ = uselocale(locale_);
    }
    ~EnvironmentCtype() {
        if (locale_ == static_cast<locale_t>(0)) return;
        uselocale(previous_);
        freelocale(locale_);
    }
    EnvironmentCtype(const EnvironmentCtype&) = delete;
    EnvironmentCtype& operator=(const EnvironmentCtype&) = delete;

  private:
    locale_t locale_ = static_cast<locale_t>(0);
    locale_t previous_ = static_cast<locale_t>(0);
};

}  // namespace

void AppendSystemAsWide(const char* text, std::wstring& out) {
    if (text == nullptr) return;
    EnvironmentCtype ctype;
    size_t length = std::strlen(text);
    mbstate_t state;
    std::memset(&state, 0, sizeof(state));
    size_t i = 0;
    while (i < length) {
        wchar_t wc = 0;
        size_t used = mbrtowc(&wc, text + i, length - i, &state);
        if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
            // An invalid or cut-off sequence: one replacement per byte, then start afresh.
            out += static_cast<wchar_t>(kReplacementCharacter);
            std::memset(&state, 0, sizeof(state));
            ++i;
            continue;
        }
        if (used == 0) break;
        out += wc;
        i += used;
    }
}

std::wstring SystemToWide(const char* text) {
    std::wstring out;
    if (text == nullptr) return out;
    out.reserve(std::strlen(text));
    AppendSystemAsWide(text, out);
    return out;
}

std::string WideToSystem(const wchar_t* text) {
    std::string out;
    if (text == nullptr) return out;
    EnvironmentCtype ctype;
    mbstate_t state;
    std::memset(&state, 0, sizeof(state));
    char buffer[MB_LEN_MAX];
    for (const wchar_t* p = text; *p != 0; ++p) {
        size_t used = wcrtomb(buffer, *p, &state);
        if (used == static_cast<size_t>(-1)) {
            out += '?';
            std::memset(&state, 0, sizeof(state));
            continue;
        }
        out.append(buffer, used);
    }
    return out;
}

void WipeMemory(void* data, size_t size) {
    if (data != nullptr && size > 0) explicit_bzero(data, size);
}

std::string MapLibraryPath(const char* path) {
    if (path == nullptr) return std::string();
    std::string mapped(path);
    for (char& c : mapped) {
        if (c == '\\') c = '/';
    }
    return mapped;
}

}  // namespace companions
}  // namespace zep
