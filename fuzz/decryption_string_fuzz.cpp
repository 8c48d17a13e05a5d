// Fuzzes the kit's hexadecimal string deciphering: the first bytes choose the kit's settings (method,
// modes, key form, sizes, key text), the rest is the hex text. Outputs are sized exactly as the kit
// requires, so any write past them is caught. Every input is deciphered on the processor's AES and SHA
// instructions and on the portable code, and the two results must be the same.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzDriver.h"
#include "filecrypt/CryptInstructions.h"
#include "filecrypt/ZEP3DCryptKit.h"

namespace {

int PickSize(uint8_t choice, unsigned int method) {
    if (method == ZEP3DFileCrypt::RIJNDAEL) return 16 + 8 * (choice % 3);
    return method == ZEP3DFileCrypt::BLOWFISH ? 56 : 16;
}

}  // namespace

void Fuzz(const uint8_t* data, size_t size) {
    if (size < 6) return;
    const unsigned int method = data[0] % 4;  // 3 is refused
    const unsigned int mode = data[1] % 4;
    const unsigned int padding = data[2] % 4;
    const unsigned int keyForm = data[3] % 2;
    const int keyLength = PickSize(data[4], method);
    const int blockSize = method == ZEP3DFileCrypt::RIJNDAEL ? 16 + 8 * (data[4] / 3 % 3) : 8;
    const size_t keyTextLength = data[5] % 80;
    data += 6;
    size -= 6;
    const size_t take = keyTextLength < size ? keyTextLength : size;
    std::string keyText(reinterpret_cast<const char*>(data), take);
    keyText = keyText.c_str();  // the kit reads a zero-terminated text
    data += take;
    size -= take;

    ZEP3DFileCrypt::CZEP3DCryptKit kit;
    kit.Create(0, method, mode, padding, keyText.c_str(), keyForm, keyLength, blockSize);
    std::string hex(reinterpret_cast<const char*>(data), size);
    hex = hex.c_str();
    const size_t n = hex.size() / 2;
    std::vector<char> plain[2], echo[2];
    for (int portable = 0; portable < 2; ++portable) {
        zep::filecrypt::ForcePortableCrypt(portable != 0);
        plain[portable].assign(n + 1, 0);
        echo[portable].assign(2 * n + 1, 0);
        kit.DecryptionString(hex.c_str(), plain[portable].data(), echo[portable].data());
    }
    zep::filecrypt::ForcePortableCrypt(false);
    if (plain[0] != plain[1] || echo[0] != echo[1]) std::abort();
}
