// Secrets in the companions (the account's password): texts whose storage is wiped with the system's
// wipe, which the optimiser keeps, and conversions into them that leave no other copy behind.
#ifndef ZEP3D_COMPANIONS_COMMON_COMPANIONSECRET_H_
#define ZEP3D_COMPANIONS_COMMON_COMPANIONSECRET_H_

#include <cstddef>
#include <string>

namespace zep {
namespace companions {

// Overwrites `size` bytes at `data` with zeros (explicit_bzero on POSIX, SecureZeroMemory on Windows).
// A null `data` does nothing.
void WipeMemory(void* data, size_t size);

// A text holding a secret. Its whole storage is wiped when it is wiped, reassigned or released. Fill it
// only through the functions below (or after Reserve), so that its storage is never moved and no
// earlier copy is left in released memory.
template <typename Char>
class BasicSecret {
  public:
    BasicSecret() = default;
    ~BasicSecret() { Wipe(); }
    BasicSecret(const BasicSecret&) = delete;
    BasicSecret& operator=(const BasicSecret&) = delete;

    // Wipes the text and makes room for `units` characters.
    void Reserve(size_t units) {
        Wipe();
        text_.reserve(units);
    }
    void Wipe() {
        // Earlier, longer contents may still sit in the capacity behind the current size.
        text_.resize(text_.capacity());
        WipeMemory(&text_[0], text_.size() * sizeof(Char));
        text_.clear();
    }
    std::basic_string<Char>& text() { return text_; }
    const std::basic_string<Char>& text() const { return text_; }
    const Char* c_str() const { return text_.c_str(); }
    size_t size() const { return text_.size(); }

  private:
    std::basic_string<Char> text_;
};

using SecretText = BasicSecret<char>;
using SecretWide = BasicSecret<wchar_t>;

// `out` becomes the UTF-8 form of a wide text (empty for a null text).
void WideToUtf8Secret(const wchar_t* text, SecretText& out);

// `out` becomes the UTF-8 form of a text in the system code page (empty for a null text); the wide
// form in between is wiped too.
void SystemToUtf8Secret(const char* text, SecretText& out);

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_COMMON_COMPANIONSECRET_H_
