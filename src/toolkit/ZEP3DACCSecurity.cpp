// The account reader: reads "acc.ini" through the settings script store and deciphers its password
// with the crypt kit's Rijndael method.
#include "toolkit/ZEP3DACCSecurity.h"

#include <cstring>
#include <string>

#include "filecrypt/SecureWipe.h"
#include "filecrypt/ZEP3DCryptKit.h"
#include "platform/Platform.h"
#include "toolkit/AccountPassword.h"
#include "toolkit/ZEP3DScript.h"

namespace {

constexpr int kNoFailure = 1000;
constexpr int kNoPath = 1001;
constexpr int kNoFile = 1004;
constexpr int kUnreadable = 1007;
constexpr int kNotDeciphered = 1009;
constexpr int kEmptyAccount = 1010;

// The reader's buffers for the user name, the password text and the deciphered password.
constexpr size_t kAccountBuffer = 512;
// The decryption step's buffers for the plain text and the kit's hexadecimal echo of it.
constexpr size_t kDecryptBuffer = 272;

const char kSection[] = "ACCSecurity";
const char kUserNameKey[] = "UserName";
const char kPasswordKey[] = "Password";
const char* const kKeyText = zep::toolkit::kAccountKeyText;

// Copies `text` with its terminating zero into `buffer` when it fits; otherwise leaves `buffer` empty
// and returns false. A value is never cut short.
bool CopyWhole(char* buffer, size_t size, const char* text) {
    const size_t length = std::strlen(text);
    if (length >= size) {
        buffer[0] = 0;
        return false;
    }
    std::memcpy(buffer, text, length + 1);
    return true;
}

// Wipes a text buffer, zero-terminated within `limit` bytes, up to and with its terminating zero.
void WipeText(char* text, size_t limit) {
    if (text == nullptr) return;
    const void* end = std::memchr(text, 0, limit);
    const size_t length = end != nullptr ? static_cast<size_t>(static_cast<const char*>(end) - text) : limit;
    zep::filecrypt::SecureWipe(text, length < limit ? length + 1 : limit);
}

// Wipes fixed buffers when the scope ends, whichever way it ends.
template <size_t N, size_t Count>
class WipedBuffers {
  public:
    WipedBuffers() { std::memset(buffers_, 0, sizeof(buffers_)); }
    ~WipedBuffers() { zep::filecrypt::SecureWipe(buffers_, sizeof(buffers_)); }
    WipedBuffers(const WipedBuffers&) = delete;
    WipedBuffers& operator=(const WipedBuffers&) = delete;
    char* operator[](size_t i) { return buffers_[i]; }

  private:
    char buffers_[Count][N];
};

}  // namespace

CZEP3DACCSecurity::CZEP3DACCSecurity() : m_iStatus(kNoFailure) {}

CZEP3DACCSecurity::~CZEP3DACCSecurity() {}

int CZEP3DACCSecurity::GetStatus() { return m_iStatus; }

bool CZEP3DACCSecurity::ReadAccount(const char* path, char* userName, char* password) {
    if (userName != nullptr) userName[0] = 0;
    if (password != nullptr) password[0] = 0;
    if (path == nullptr || path[0] == 0) {
        m_iStatus = kNoPath;
        return false;
    }
    bool exists = false;
    try {
        exists = zep::platform::QueryFileStatus(path);
    } catch (...) {
        // Mapping the path ran out of memory: the query has failed.
        exists = false;
    }
    if (!exists) {
        m_iStatus = kNoFile;
        return false;
    }

    WipedBuffers<kAccountBuffer, 3> buffers;
    char* user = buffers[0];
    char* passwordText = buffers[1];
    char* plain = buffers[2];
    try {
        ZEP3DToolKit::CZEP3DScript store;
        int scriptStatus = 0;
        if (!store.ReadINIFile(path, &scriptStatus)) {
            m_iStatus = kUnreadable;
            return false;
        }
        // A user name that does not fit stays empty and ends the read as an empty one does.
        CopyWhole(user, kAccountBuffer, store.GetSectionContext(kSection, kUserNameKey, ""));
        const bool textFits =
            CopyWhole(passwordText, kAccountBuffer, store.GetSectionContext(kSection, kPasswordKey, ""));
        if (!textFits || !Decryption(passwordText, plain)) {
            m_iStatus = kNotDeciphered;
            return false;
        }
        if (userName != nullptr) std::memcpy(userName, user, std::strlen(user) + 1);
        if (password != nullptr) std::memcpy(password, plain, std::strlen(plain) + 1);
        if (userName == nullptr || userName[0] == 0 || password == nullptr || password[0] == 0) {
            m_iStatus = kEmptyAccount;
            WipeText(userName, kAccountBuffer);
            WipeText(password, kAccountBuffer);
            return false;
        }
        return true;
    } catch (...) {
        // Nothing above is expected to raise; should the store fail to come into being, the file has
        // not been read.
        m_iStatus = kUnreadable;
        WipeText(userName, kAccountBuffer);
        WipeText(password, kAccountBuffer);
        return false;
    }
}

bool CZEP3DACCSecurity::Decryption(const char* hexText, char* plainPassword) {
    if (plainPassword == nullptr) return false;
    const char* text = hexText != nullptr ? hexText : "";
    // The kit writes up to length / 2 + 1 plain bytes and twice as many echo digits: a longer text would
    // not fit the buffers below.
    const size_t length = std::strlen(text);
    if (length >= kDecryptBuffer) return false;
    // The kit stops decoding at the first pair that is not two upper-case hexadecimal digits and
    // deciphers whatever the rest of its buffer holds: such a text would give a wrong password as if it
    // were right. An odd last digit is ignored, as the kit ignores it.
    for (size_t i = 0; i < length / 2 * 2; ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }

    WipedBuffers<kDecryptBuffer, 2> buffers;
    char* plain = buffers[0];
    char* echo = buffers[1];
    bool copied = false;
    try {
        ZEP3DFileCrypt::CZEP3DCryptKit kit;
        const std::string key(kKeyText);
        if (!kit.Create(1, ZEP3DFileCrypt::RIJNDAEL, ZEP3DFileCrypt::ECB, ZEP3DFileCrypt::ZEROES, key.c_str(),
                        ZEP3DFileCrypt::TEXT, 16, 16)) {
            return false;
        }
        if (!kit.DecryptionString(text, plain, echo)) return false;
        // The padding zero bytes end the password by themselves.
        std::memcpy(plainPassword, plain, std::strlen(plain) + 1);
        copied = true;
        return true;
    } catch (...) {
        zep::platform::DebugOutput("CZEP3DACCSecurity::Decryption()-Decrypting occurrs error!");
        return copied;
    }
}
