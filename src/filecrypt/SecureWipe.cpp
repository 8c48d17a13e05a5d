// Overwriting secrets with zeros in a way the optimiser keeps.
#include "filecrypt/SecureWipe.h"

namespace zep {
namespace filecrypt {

void SecureWipe(void* data, size_t size) {
    if (data == nullptr) return;
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) p[i] = 0;
}

void SecureWipe(std::string& text) {
    // Earlier, longer contents may still sit in the capacity behind the current size.
    size_t capacity = text.capacity();
    text.resize(capacity);
    SecureWipe(&text[0], capacity);
    text.clear();
}

}  // namespace filecrypt
}  // namespace zep
