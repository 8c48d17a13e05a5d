// DecryptFile with any file contents against fixed keys: the first byte chooses the method and mode;
// half of the inputs get the right fingerprint put in front, so the pieces behind it are deciphered
// too. Every input is deciphered on the processor's AES and SHA instructions and on the portable code,
// and the two outputs must be the same.
#include <memory>

#include "FuzzDriver.h"
#include "filecrypt/CryptInstructions.h"
#include "filecrypt/ZEP3DCryptBlowFish.h"
#include "filecrypt/ZEP3DCryptRijndael.h"
#include "filecrypt/ZEP3DCryptTEA.h"

void Fuzz(const uint8_t* data, size_t size) {
    if (size < 1) return;
    namespace fc = ZEP3DFileCrypt;
    const unsigned int choice = data[0], kind = choice / 3 % 4, mode = choice % 3;
    const char key[32] = "a fixed key for the fuzz target";
    const char chain[32] = {0};
    std::unique_ptr<fc::ZEP3DICryptMethod> method;
    if (kind < 2) {
        method = std::make_unique<fc::CZEP3DCryptRijndael>();
        const int keyLength = kind == 0 ? 16 : 32, blockSize = kind == 0 ? 16 : 24 + 8 * (choice / 12 % 2);
        method->Initialize(key, 32, chain, keyLength, blockSize, mode, kind);
    } else if (kind == 2) {
        method = std::make_unique<fc::CZEP3DCryptBlowFish>();
        method->Initialize(key, 8, nullptr, 56, 8, mode, 2);
    } else {
        method = std::make_unique<fc::CZEP3DCryptTEA>();
        method->Initialize(key, 16, chain, 16, 8, mode, 0);
    }
    std::string contents(reinterpret_cast<const char*>(data + 1), size - 1);
    if ((choice & 0x80) != 0) {
        char fingerprint[32];
        method->GetFingerprint(fingerprint);
        contents.insert(0, fingerprint, sizeof(fingerprint));
    }
    const std::string in = FuzzTempFolder() + "/in", out = FuzzTempFolder() + "/out";
    WriteFuzzFile(in, contents);
    std::string outputs[2];
    for (int portable = 0; portable < 2; ++portable) {
        zep::filecrypt::ForcePortableCrypt(portable != 0);
        method->DecryptFile(in, out);
        outputs[portable] = ReadFuzzFile(out);
        std::remove(out.c_str());
    }
    zep::filecrypt::ForcePortableCrypt(false);
    std::remove(in.c_str());
    if (outputs[0] != outputs[1]) std::abort();
}
