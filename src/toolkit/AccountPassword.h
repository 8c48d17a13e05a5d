// The password text of the installation's account file, made the way the account reader deciphers it:
// for the programs that write account files.
#ifndef ZEP3D_TOOLKIT_ACCOUNTPASSWORD_H_
#define ZEP3D_TOOLKIT_ACCOUNTPASSWORD_H_

#include <string>

namespace zep {
namespace toolkit {

// The key text of the account file's password: 13 characters, which the kit's key buffer follows with
// zero bytes up to the 16-byte key.
constexpr char kAccountKeyText[] = "PlumTreeGlade";

// The password's bytes, zero bytes up to whole 16-byte blocks, enciphered with AES-128 in ECB under the
// library's account key, as upper-case hexadecimal digits (empty for an empty password).
std::string EncipherAccountPassword(const std::string& password);

// The text of an account file for the user name and enciphered password (Windows line ends, as the
// installation writes it).
std::string AccountFileText(const std::string& userName, const std::string& passwordText);

}  // namespace toolkit
}  // namespace zep

#endif  // ZEP3D_TOOLKIT_ACCOUNTPASSWORD_H_
