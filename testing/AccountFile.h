// Account files for the account reader's tests.
#ifndef ZEP3D_TESTING_ACCOUNTFILE_H_
#define ZEP3D_TESTING_ACCOUNTFILE_H_

#include <string>

namespace zep {
namespace toolkit {
namespace testing {

// Bytes as upper-case hexadecimal digits, two per byte.
inline std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : bytes) {
        text += kDigits[c >> 4];
        text += kDigits[c & 0x0F];
    }
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
