// The shared parts of the block-cipher methods: framing helpers, key forming, the fingerprint digest and
// the encrypted file format (32-byte fingerprint, then the ciphertext in pieces of 384 bytes).
#include "filecrypt/ZEP3DICryptMethod.h"

#include <cstring>
#include <fstream>
#include <memory>

#include "filecrypt/SecureWipe.h"
#include "filecrypt/ZEP3DDoubleBuffering.h"
#include "filecrypt/ZEP3DMessageDigestSHA.h"
#include "platform/Platform.h"

namespace ZEP3DFileCrypt {

namespace {

constexpr int kFingerprintBytes = 32;
constexpr int kReaderBytes = 1024;
// A multiple of every block size (8, 16, 24, 32), so only the last piece can need padding.
constexpr int kPieceBytes = 384;

// Scratch of one file operation; wiped on every way out because it holds plaintext.
struct FileScratch {
    char reader[kReaderBytes];
    char piece[kPieceBytes];
    char result[kPieceBytes];
    ~FileScratch() { zep::filecrypt::SecureWipe(this, sizeof(*this)); }
};

// Files are read and written 64 KiB at a time (one system call each, instead of one per few KiB); the
// pieces stay 384 bytes as the file format has them.
constexpr size_t kStreamBufferBytes = 64 * 1024;

struct StreamBuffers {
    std::unique_ptr<char[]> input{new char[kStreamBufferBytes]};
    std::unique_ptr<char[]> output{new char[kStreamBufferBytes]};
    ~StreamBuffers() {
        // Deciphering leaves plaintext in the output buffer, enciphering in the input buffer.
        zep::filecrypt::SecureWipe(input.get(), kStreamBufferBytes);
        zep::filecrypt::SecureWipe(output.get(), kStreamBufferBytes);
    }
};

bool OpenInput(std::ifstream& stream, const std::string& path, char* buffer) {
    stream.rdbuf()->pubsetbuf(buffer, static_cast<std::streamsize>(kStreamBufferBytes));
    return zep::platform::OpenFileBuffer(*stream.rdbuf(), path.c_str(), std::ios::in | std::ios::binary);
}

// The output stream is unbuffered: ChunkedOutput does its buffering.
bool OpenOutput(std::ofstream& stream, const std::string& path) {
    stream.rdbuf()->pubsetbuf(nullptr, 0);
    return zep::platform::OpenFileBuffer(*stream.rdbuf(), path.c_str(),
                                         std::ios::out | std::ios::binary | std::ios::trunc);
}

// Collects the output file and writes it in whole chunks of kStreamBufferBytes, so every write but the
// last covers whole pages of the file. (Through the stream's own buffer, the 384-byte pieces made every
// write end inside a page, which the kernel then takes in two calls: some 40% more time in writing.)
class ChunkedOutput {
  public:
    // REQUIRES: buffer holds kStreamBufferBytes and outlives the object.
    ChunkedOutput(std::ofstream& stream, char* buffer) : stream_(stream), buffer_(buffer) {}
    ChunkedOutput(const ChunkedOutput&) = delete;
    ChunkedOutput& operator=(const ChunkedOutput&) = delete;

    void Write(const char* data, size_t n) {
        while (n > 0) {
            size_t take = kStreamBufferBytes - fill_;
            if (take > n) take = n;
            std::memcpy(buffer_ + fill_, data, take);
            fill_ += take;
            data += take;
            n -= take;
            if (fill_ == kStreamBufferBytes) Flush();
        }
    }

    // Writes what is collected and closes the stream. Returns false if a write or the closing failed.
    bool Finish() {
        Flush();
        stream_.close();
        return !stream_.fail();
    }

  private:
    void Flush() {
        // After a failed write the stream writes nothing more.
        stream_.write(buffer_, static_cast<std::streamsize>(fill_));
        fill_ = 0;
    }

    std::ofstream& stream_;
    char* buffer_;
    size_t fill_ = 0;
};

// True when the two paths name one file (spelt differently, or through a link): opening the output
// for writing would empty the input.
bool SameFile(const std::string& a, const std::string& b) {
    zep::platform::FileIdentity first;
    zep::platform::FileIdentity second;
    return zep::platform::QueryFileIdentity(a.c_str(), &first) &&
           zep::platform::QueryFileIdentity(b.c_str(), &second) && first == second;
}

}  // namespace

ZEP3DICryptMethod::ZEP3DICryptMethod()
    : m_bInitialized(0), m_iBlockSize(0), m_iKeyLength(0), m_iOperationMode(ECB), m_iPaddingMode(ZEROES) {}

ZEP3DICryptMethod::~ZEP3DICryptMethod() = default;

void ZEP3DICryptMethod::Xor(char* buff, const char* chain) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("ZEP3DICryptMethod::Xor()-Object not Initialized");
        return;
    }
    if (buff == nullptr || chain == nullptr) return;
    for (int i = 0; i < m_iBlockSize; ++i) buff[i] = static_cast<char>(buff[i] ^ chain[i]);
}

int ZEP3DICryptMethod::Padding(char* buffer, int length) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput("ZEP3DICryptMethod::Padding()-Object not Initialized");
        return -1;
    }
    // A negative length would put the padding in front of the buffer.
    if (length < 0 || buffer == nullptr) return -1;
    int r = length % m_iBlockSize;
    if (r == 0) return length;
    int p = m_iBlockSize - r;
    char fill = 0;
    if (m_iPaddingMode == BLANKS) {
        fill = 0x20;
    } else if (m_iPaddingMode == PADCOUNT) {
        fill = static_cast<char>(p);
    }
    std::memset(buffer + length, fill, static_cast<size_t>(p));
    return length + p;
}

uint32_t ZEP3DICryptMethod::BytesToWord(const char* bytes) {
    const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes);
    return (static_cast<uint32_t>(b[0]) << 24) | (static_cast<uint32_t>(b[1]) << 16) |
           (static_cast<uint32_t>(b[2]) << 8) | static_cast<uint32_t>(b[3]);
}

void ZEP3DICryptMethod::WordToBytes(uint32_t word, char* bytes) {
    unsigned char* b = reinterpret_cast<unsigned char*>(bytes);
    b[0] = static_cast<unsigned char>(word >> 24);
    b[1] = static_cast<unsigned char>(word >> 16);
    b[2] = static_cast<unsigned char>(word >> 8);
    b[3] = static_cast<unsigned char>(word);
}

void ZEP3DICryptMethod::FormKeyBytes(const char* keyData, int keyDataLength, unsigned char* key,
                                     int keyLength) {
    for (int i = 0; i < keyLength; ++i) key[i] = static_cast<unsigned char>(keyData[i % keyDataLength]);
}

void ZEP3DICryptMethod::DigestFingerprintText(char* text, size_t size, char* out) {
    size_t length = 0;
    while (length < size && text[length] != 0) ++length;
    CZEP3DMessageDigestSHA sha;
    sha.AddData(text, static_cast<int>(length));
    char digest[kFingerprintBytes] = {0};
    sha.FinalDigest(digest);
    if (out != nullptr) std::memcpy(out, digest, sizeof(digest));
    zep::filecrypt::SecureWipe(text, size);
}

void ZEP3DICryptMethod::RunEncryptFile(const std::string& inFile, const std::string& outFile,
                                       const FileMessages& messages) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput(messages.encryptNotInitialized);
        return;
    }
    if (inFile == outFile || SameFile(inFile, outFile)) {
        zep::platform::DebugOutput(messages.encryptError);
        return;
    }
    try {
        // Declared before the streams, so it outlives them.
        StreamBuffers buffers;
        std::ifstream input;
        if (!OpenInput(input, inFile, buffers.input.get())) {
            zep::platform::DebugOutput(messages.encryptError);
            return;
        }
        std::ofstream output;
        if (!OpenOutput(output, outFile)) {
            zep::platform::DebugOutput(messages.encryptError);
            return;
        }
        ChunkedOutput writer(output, buffers.output.get());
        char fingerprint[kFingerprintBytes] = {0};
        GetFingerprint(fingerprint);
        writer.Write(fingerprint, sizeof(fingerprint));

        ResetChain();
        FileScratch scratch;
        CZEP3DDoubleBuffering reader(input, scratch.reader, kReaderBytes, kPieceBytes);
        for (;;) {
            int n = reader.GetData(scratch.piece);
            if (n < 1) break;
            if (n < kPieceBytes) n = Padding(scratch.piece, n);
            Encrypt(scratch.piece, scratch.result, static_cast<size_t>(n));
            writer.Write(scratch.result, static_cast<size_t>(n));
        }
        // A file that could not be read to its end or written whole is not reported as enciphered.
        if (!writer.Finish() || input.bad()) zep::platform::DebugOutput(messages.encryptError);
    } catch (...) {
        // Stream buffers are allocated on open; running out of memory ends the operation.
        zep::platform::DebugOutput(messages.encryptError);
    }
}

void ZEP3DICryptMethod::RunDecryptFile(const std::string& inFile, const std::string& outFile,
                                       const FileMessages& messages) {
    if (!m_bInitialized) {
        zep::platform::DebugOutput(messages.decryptNotInitialized);
        return;
    }
    if (inFile == outFile || SameFile(inFile, outFile)) {
        zep::platform::DebugOutput(messages.decryptError);
        return;
    }
    try {
        // Declared before the streams, so it outlives them.
        StreamBuffers buffers;
        std::ifstream input;
        if (!OpenInput(input, inFile, buffers.input.get())) {
            zep::platform::DebugOutput(messages.decryptError);
            return;
        }
        // The fingerprint is checked before the output is opened, so that a wrong key or setting
        // leaves an existing output file as it was.
        char expected[kFingerprintBytes] = {0};
        GetFingerprint(expected);
        char header[kFingerprintBytes] = {0};
        input.read(header, sizeof(header));
        if (std::memcmp(expected, header, sizeof(header)) != 0) {
            zep::platform::DebugOutput(messages.decryptError);
            return;
        }
        std::ofstream output;
        if (!OpenOutput(output, outFile)) {
            zep::platform::DebugOutput(messages.decryptError);
            return;
        }
        ChunkedOutput writer(output, buffers.output.get());

        ResetChain();
        FileScratch scratch;
        CZEP3DDoubleBuffering reader(input, scratch.reader, kReaderBytes, kPieceBytes);
        bool whole = true;
        for (;;) {
            int n = reader.GetData(scratch.piece);
            if (n < 1) break;
            // Only a truncated or foreign file ends in a part of a block: it is not deciphered.
            if (n % m_iBlockSize != 0) {
                whole = false;
                break;
            }
            Decrypt(scratch.piece, scratch.result, static_cast<size_t>(n));
            writer.Write(scratch.result, static_cast<size_t>(n));
        }
        // Reported once, whether the file ended in a part of a block, could not be read to its end or
        // could not be written whole.
        if (!writer.Finish() || !whole || input.bad()) zep::platform::DebugOutput(messages.decryptError);
    } catch (...) {
        zep::platform::DebugOutput(messages.decryptError);
    }
}

}  // namespace ZEP3DFileCrypt
