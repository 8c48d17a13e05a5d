// Enciphering an account password the way the account reader deciphers it.
#include "toolkit/AccountPassword.h"

#include <cstring>

#include "filecrypt/SecureWipe.h"
#include "filecrypt/ZEP3DCryptKit.h"
#include "filecrypt/ZEP3DCryptRijndael.h"

namespace zep {
namespace toolkit {

std::string EncipherAccountPassword(const std::string& password) {
    constexpr size_t kBlock = 16;
    std::string padded = password;
    padded.resize((password.size() + kBlock - 1) / kBlock * kBlock, '\0');
    if (padded.empty()) return std::string();
    char key[kBlock] = {0};
    std::memcpy(key, kAccountKeyText, sizeof(kAccountKeyText) - 1);
    const char chain[32] = {0};
    ZEP3DFileCrypt::CZEP3DCryptRijndael method;
    method.Initialize(key, static_cast<int>(kBlock), chain, 16, 16, ZEP3DFileCrypt::ECB,
                      ZEP3DFileCrypt::ZEROES);
    std::string cipher(padded.size(), '\0');
    method.Encrypt(padded.data(), &cipher[0], padded.size());
    zep::filecrypt::SecureWipe(padded);
    std::string text(2 * cipher.size(), '\0');
    ZEP3DFileCrypt::detail::EncodeHexPairs(reinterpret_cast<const unsigned char*>(cipher.data()),
                                           cipher.size(), &text[0]);
    return text;
}

std::string AccountFileText(const std::string& userName, const std::string& passwordText) {
    return "[ACCSecurity]\r\nUserName=" + userName + "\r\nPassword=" + passwordText + "\r\n";
}

}  // namespace toolkit
}  // namespace zep
