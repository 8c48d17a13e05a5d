// Wiping the whole capacity of texts that held a secret, through the system's wipe.
#include "platform/Platform.h"

namespace zep {
namespace platform {
namespace {

template <typename Text>
void WipeText(Text& text) {
    // Earlier, longer contents may still sit in the capacity behind the current size.
    const size_t capacity = text.capacity();
    text.resize(capacity);
    SecureWipe(&text[0], capacity * sizeof(text[0]));
    text.clear();
}

}  // namespace

void SecureWipe(std::string& text) { WipeText(text); }
void SecureWipe(std::wstring& text) { WipeText(text); }

}  // namespace platform
}  // namespace zep
