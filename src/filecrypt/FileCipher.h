// Whole files through a crypt method in the encrypted file format (a 32-byte fingerprint, then the
// ciphertext in pieces of 384 bytes): the work behind EncryptFile and DecryptFile, with the reasons a
// file operation failed and the choices that zep3dtool needs.
#ifndef ZEP3D_FILECRYPT_FILECIPHER_H_
#define ZEP3D_FILECRYPT_FILECIPHER_H_

#include <atomic>
#include <cstdint>
#include <string>

#include "filecrypt/ZEP3DICryptMethod.h"

namespace zep {
namespace filecrypt {

// How a file operation ended. Whatever the failure, the output is left as it was before the call.
enum class FileResult {
    kDone,
    kSameFile,          // the output is the input (the same path, another spelling of it, or a link)
    kUnreadable,        // the input cannot be opened or read to its end
    kWrongFingerprint,  // deciphering: the file does not start with the method's fingerprint
    kPartialBlock,      // deciphering: the file ends inside a block (truncated or foreign)
    kUnwritable,        // the output cannot be created, written whole, or put in place
    kOutOfMemory,
};

struct FileOptions {
    // When given, counts the bytes of the output written so far while the work runs; another thread may
    // read it meanwhile.
    std::atomic<uint64_t>* progress = nullptr;
    // The POSIX permission bits of the output (0 to 0777), or -1: those of the file it replaces, and the
    // system's default for a new one. The output never has more than these from its first byte on.
    int permissions = -1;
};

struct FileOutcome {
    FileResult result = FileResult::kDone;
    int systemError = 0;   // the system's error code of a failed read or write, when there was one
    uint64_t written = 0;  // the bytes of a complete output
};

// Enciphers `input` into `output`: the method's fingerprint, then each piece of 384 bytes of the input
// enciphered by one Encrypt call from a reset chain, the last piece (if shorter) padded to whole blocks.
// The output is written to a new file beside it, which replaces it only when complete; a device is
// written in place. Reading and writing run on one worker thread while this thread enciphers; the
// worker ends before the call returns.
// REQUIRES: `method` is initialised.
FileOutcome EncipherFile(ZEP3DFileCrypt::ZEP3DICryptMethod& method, const std::string& input,
                         const std::string& output, const FileOptions& options = FileOptions());

// Deciphers a file written by EncipherFile back to the padded plaintext, after checking its
// fingerprint (before the output is touched), in the same way.
// REQUIRES: `method` is initialised.
FileOutcome DecipherFile(ZEP3DFileCrypt::ZEP3DICryptMethod& method, const std::string& input,
                         const std::string& output, const FileOptions& options = FileOptions());

}  // namespace filecrypt
}  // namespace zep

#endif  // ZEP3D_FILECRYPT_FILECIPHER_H_
