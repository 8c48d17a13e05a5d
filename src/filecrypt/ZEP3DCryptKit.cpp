// The crypt kit façade: method creation from a key text, and deciphering of hexadecimal strings.
#include "filecrypt/ZEP3DCryptKit.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "filecrypt/SecureWipe.h"
#include "filecrypt/ZEP3DCryptBlowFish.h"
#include "filecrypt/ZEP3DCryptRijndael.h"
#include "filecrypt/ZEP3DCryptTEA.h"
#include "platform/Platform.h"

namespace ZEP3DFileCrypt {

namespace {

// Scratch up to this size comes from the stack.
constexpr size_t kStackScratch = 1024;

bool RijndaelSize(int size) { return size == 16 || size == 24 || size == 32; }

bool KeyLengthAllowed(unsigned int method, int keyLength) {
    switch (method) {
        case RIJNDAEL:
            return RijndaelSize(keyLength);
        case BLOWFISH:
            return keyLength == 56;
        default:
            return keyLength == 16;
    }
}

bool BlockSizeAllowed(unsigned int method, int blockSize) {
    return method == RIJNDAEL ? RijndaelSize(blockSize) : blockSize == 8;
}

size_t KeyBufferSize(unsigned int method) {
    switch (method) {
        case RIJNDAEL:
            return 32;
        case BLOWFISH:
            return 56;
        default:
            return 16;
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A scratch buffer from the stack when small, else from the heap; wiped before release.
class Scratch {
  public:
    explicit Scratch(size_t size) : size_(size) {
        if (size_ <= kStackScratch) {
            data_ = local_;
        } else {
            heap_.reset(new unsigned char[size_]);
            data_ = heap_.get();
        }
        std::memset(data_, 0, size_);
    }
    ~Scratch() { zep::filecrypt::SecureWipe(data_, size_); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    unsigned char* data() { return data_; }

  private:
    size_t size_;
    unsigned char* data_;
    unsigned char local_[kStackScratch];
    std::unique_ptr<unsigned char[]> heap_;
};

}  // namespace

namespace detail {

size_t DecodeHexPairs(const char* text, size_t count, unsigned char* out) {
    for (size_t i = 0; i < count; ++i) {
        int high = HexDigit(text[2 * i]);
        int low = high < 0 ? -1 : HexDigit(text[2 * i + 1]);
        if (low < 0) return i;
        out[i] = static_cast<unsigned char>((high << 4) | low);
    }
    return count;
}

void EncodeHexPairs(const unsigned char* bytes, size_t count, char* out) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < count; ++i) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
    }
}

}  // namespace detail

CZEP3DCryptKit::CZEP3DCryptKit()
    : m_bCreated(0),
      m_pMethod(nullptr),
      m_iDataType(0),
      m_iMethod(RIJNDAEL),
      m_iOperationMode(ECB),
      m_iPaddingMode(ZEROES),
      m_iKeyForm(TEXT),
      m_iKeyLength(0),
      m_iBlockSize(0) {}

CZEP3DCryptKit::~CZEP3DCryptKit() {
    Destroy();
    WipeKeyText();
}

void CZEP3DCryptKit::WipeKeyText() { zep::filecrypt::SecureWipe(m_sKey); }

bool CZEP3DCryptKit::Create(unsigned int dataType, unsigned int method, unsigned int operationMode,
                            unsigned int paddingMode, const char* keyText, unsigned int keyForm,
                            int keyLength, int blockSize) {
    if (dataType > 1) {
        zep::platform::DebugOutput("CZEP3DCryptKit::Create()-Unknowable data type!");
        return false;
    }
    if (method > TEA) {
        zep::platform::DebugOutput("CZEP3DCryptKit::Create()-Unknowable method!");
        return false;
    }
    if (operationMode > CFB) {
        zep::platform::DebugOutput("CZEP3DCryptKit::Create()-Unknowable operation mode!");
        return false;
    }
    if (paddingMode > PADCOUNT) {
        zep::platform::DebugOutput("CZEP3DCryptKit::Create()-Unknowable padding mode!");
        return false;
    }
    if (!KeyLengthAllowed(method, keyLength)) {
        zep::platform::DebugOutput("CZEP3DCryptKit::Create()-Unknowable Keylength!");
        return false;
    }
    if (!BlockSizeAllowed(method, blockSize)) {
        zep::platform::DebugOutput("CZEP3DCryptKit::Create()-Unknowable BlockSize!");
        return false;
    }

    if (m_bCreated || m_pMethod != nullptr) Destroy();
    m_iDataType = dataType;
    m_iMethod = method;
    m_iOperationMode = operationMode;
    m_iPaddingMode = paddingMode;
    m_iKeyForm = keyForm;
    m_iKeyLength = keyLength;
    m_iBlockSize = blockSize;
    WipeKeyText();

    std::unique_ptr<ZEP3DICryptMethod> created;
    try {
        m_sKey.assign(keyText != nullptr ? keyText : "");
        switch (method) {
            case RIJNDAEL:
                created.reset(new CZEP3DCryptRijndael());
                break;
            case BLOWFISH:
                created.reset(new CZEP3DCryptBlowFish());
                break;
            default:
                created.reset(new CZEP3DCryptTEA());
                break;
        }
    } catch (...) {
        zep::platform::DebugOutput("CZEP3DCryptKit::Create()-Create CryptMethod object error!");
        WipeKeyText();
        return false;
    }

    // The key buffer: the key text's bytes (or decoded digits) behind which the buffer stays zero.
    unsigned char key[56] = {0};
    const size_t bufferSize = KeyBufferSize(method);
    if (keyForm == HEX) {
        size_t count = m_sKey.size() / 2;
        if (count > bufferSize) count = bufferSize;
        detail::DecodeHexPairs(m_sKey.c_str(), count, key);
    } else {
        size_t count = m_sKey.size() < bufferSize ? m_sKey.size() : bufferSize;
        std::memcpy(key, m_sKey.data(), count);
    }
    const char zeroChain[32] = {0};
    created->Initialize(reinterpret_cast<const char*>(key), static_cast<int>(bufferSize),
                        method == BLOWFISH ? nullptr : zeroChain, keyLength, blockSize, operationMode,
                        paddingMode);
    zep::filecrypt::SecureWipe(key, sizeof(key));
    m_pMethod = created.release();
    m_bCreated = 1;
    return true;
}

bool CZEP3DCryptKit::Destroy() {
    if (m_pMethod != nullptr) {
        try {
            delete m_pMethod;
        } catch (...) {
            zep::platform::DebugOutput("CZEP3DCryptKit::Destroy()-Destroy CryptMethod object error!");
            return false;
        }
    }
    m_pMethod = nullptr;
    m_bCreated = 0;
    return true;
}

bool CZEP3DCryptKit::DecryptionString(const char* hexText, char* plainText, char* hexEcho) {
    if (!m_bCreated || m_pMethod == nullptr) {
        zep::platform::DebugOutput("CZEP3DCryptKit::DecryptionString()-Object not created!");
        return false;
    }
    try {
        const size_t hexLength = hexText != nullptr ? std::strlen(hexText) : 0;
        const size_t n = hexLength / 2;
        Scratch cipher(n > 0 ? n : 1);
        Scratch plain(n + 1);
        Scratch echo(2 * n + 1);
        if (n > 0) detail::DecodeHexPairs(hexText, n, cipher.data());

        m_pMethod->ResetChain();
        plain.data()[0] = 0;
        m_pMethod->Decrypt(reinterpret_cast<const char*>(cipher.data()),
                           reinterpret_cast<char*>(plain.data()), n);
        plain.data()[n] = 0;

        // A refused length leaves the plaintext unwritten: both outputs are then empty.
        const bool refused = n == 0 || n % static_cast<size_t>(m_iBlockSize) != 0;
        if (!refused) {
            detail::EncodeHexPairs(plain.data(), n, reinterpret_cast<char*>(echo.data()));
            echo.data()[2 * n] = 0;
        } else {
            echo.data()[0] = 0;
        }

        if (plainText != nullptr) {
            size_t length = std::strlen(reinterpret_cast<const char*>(plain.data()));
            std::memcpy(plainText, plain.data(), length + 1);
        }
        if (hexEcho != nullptr) {
            size_t length = std::strlen(reinterpret_cast<const char*>(echo.data()));
            std::memcpy(hexEcho, echo.data(), length + 1);
        }
        return true;
    } catch (...) {
        zep::platform::DebugOutput("CZEP3DCryptKit::DecryptionString()-Decryption error!");
        return false;
    }
}

}  // namespace ZEP3DFileCrypt
