// The kit's hexadecimal string deciphering: the first bytes choose the kit's settings (method, modes,
// key form, sizes, key text), the rest is the hex text. Outputs are sized exactly as the kit requires,
// so any write past them is caught. Every input is deciphered on the processor's AES and SHA
// instructions and on the portable code, and the two results must be the same.
#include <vector>

#include "FuzzDriver.h"
#include "filecrypt/CryptInstructions.h"
#include "filecrypt/ZEP3DCryptKit.h"

void Fuzz(const uint8_t* data, size_t size) {
    if (size < 6) return;
    FuzzBytes in(data, size);
    const unsigned int method = in.Byte() % 4;  // 3 is refused
    const unsigned int mode = in.Byte() % 4, padding = in.Byte() % 4, keyForm = in.Byte() % 2;
    const uint8_t sizes = in.Byte();
    const bool rijndael = method == ZEP3DFileCrypt::RIJNDAEL;
    const int keyLength = rijndael ? 16 + 8 * (sizes % 3) : method == ZEP3DFileCrypt::BLOWFISH ? 56 : 16;
    const int blockSize = rijndael ? 16 + 8 * (sizes / 3 % 3) : 8;
    const std::string keyText = in.Text(in.Byte() % 80);
    const std::string hex = in.Text();

    ZEP3DFileCrypt::CZEP3DCryptKit kit;
    kit.Create(0, method, mode, padding, keyText.c_str(), keyForm, keyLength, blockSize);
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
