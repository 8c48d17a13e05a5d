// Account files for the account reader's tests.
#ifndef ZEP3D_TESTING_ACCOUNTFILE_H_
#define ZEP3D_TESTING_ACCOUNTFILE_H_

#include <string>

#include "filecrypt/ZEP3DCryptKit.h"

namespace zep {
namespace toolkit {
namespace testing {

// Bytes as upper-case hexadecimal digits, two per byte.
inline std::string Hex(const std::string& bytes) {
    std::string text(2 * bytes.size(), '\0');
    ZEP3DFileCrypt::detail::EncodeHexPairs(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                           &text[0]);
    return text;
}

// An account file as the installation writes it on Windows: CR LF line ends, a comment, the section.
inline std::string AccountFile(const std::string& userName, const std::string& passwordHex) {
    return "; cluster account\r\n[ACCSecurity]\r\nUserName=" + userName + "\r\nPassword=" + passwordHex +
           "\r\n";
}

}  // namespace testing
}  // namespace toolkit
}  // namespace zep

#endif  // ZEP3D_TESTING_ACCOUNTFILE_H_
