// Overwriting secrets (keys, key schedules, plaintext scratch) with zeros before their memory is
// released or reused.
#ifndef ZEP3D_FILECRYPT_SECUREWIPE_H_
#define ZEP3D_FILECRYPT_SECUREWIPE_H_

#include <cstddef>
#include <string>

namespace zep {
namespace filecrypt {

// Writes `size` zero bytes at `data` through a volatile pointer, so the stores survive optimisation
// even when the memory is never read again. A null `data` or a zero size does nothing.
void SecureWipe(void* data, size_t size);

// Wipes the characters of `text` (its whole capacity) and leaves it empty.
void SecureWipe(std::string& text);

}  // namespace filecrypt
}  // namespace zep

#endif  // ZEP3D_FILECRYPT_SECUREWIPE_H_
