// Fuzzes DecryptFile with arbitrary file contents against fixed keys: the first byte chooses the
// method and mode; half of the inputs get the right fingerprint put in front, so the pieces behind it
// are deciphered too. Files live in the run's temporary folder.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "FuzzDriver.h"
#include "filecrypt/ZEP3DCryptBlowFish.h"
#include "filecrypt/ZEP3DCryptRijndael.h"
#include "filecrypt/ZEP3DCryptTEA.h"

void Fuzz(const uint8_t* data, size_t size) {
    if (size < 1) return;
    const unsigned int choice = data[0];
    ++data;
    --size;
    std::unique_ptr<ZEP3DFileCrypt::ZEP3DICryptMethod> method;
    const char key[32] = "a fixed key for the fuzz target";
    const char chain[32] = {0};
    const unsigned int mode = choice % 3;
    switch ((choice / 3) % 4) {
        case 0:
            method.reset(new ZEP3DFileCrypt::CZEP3DCryptRijndael());
            method->Initialize(key, 32, chain, 16, 16, mode, 0);
            break;
        case 1:
            method.reset(new ZEP3DFileCrypt::CZEP3DCryptRijndael());
            method->Initialize(key, 32, chain, 32, 24 + 8 * (choice / 12 % 2), mode, 1);
            break;
        case 2:
            method.reset(new ZEP3DFileCrypt::CZEP3DCryptBlowFish());
            method->Initialize(key, 8, nullptr, 56, 8, mode, 2);
            break;
        default:
            method.reset(new ZEP3DFileCrypt::CZEP3DCryptTEA());
            method->Initialize(key, 16, chain, 16, 8, mode, 0);
            break;
    }
    const std::string in = FuzzTempFolder() + "/in";
    const std::string out = FuzzTempFolder() + "/out";
    {
        std::ofstream file(in, std::ios::binary | std::ios::trunc);
        if ((choice & 0x80) != 0) {
            char fingerprint[32];
            method->GetFingerprint(fingerprint);
            file.write(fingerprint, sizeof(fingerprint));
        }
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    method->DecryptFile(in, out);
    std::remove(in.c_str());
    std::remove(out.c_str());
}
