// zep3dtool encrypt / decrypt: a whole file through a crypt method of the library's kit, in the
// library's encrypted file format, with a progress bar on standard error for files that take a moment.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "Commands.h"
#include "Options.h"
#include "Progress.h"
#include "System.h"
#include "filecrypt/FileCipher.h"
#include "filecrypt/ZEP3DCryptKit.h"
#include "platform/Platform.h"

namespace zep {
namespace apps {
namespace {

namespace fs = std::filesystem;

constexpr uint64_t kFingerprintBytes = 32;
// A bar that appears on its own (standard error a terminal) waits this long, so quick files show none.
constexpr auto kQuietStart = std::chrono::milliseconds(500);
constexpr auto kRedraw = std::chrono::milliseconds(100);

struct Method {
    const char* name;
    unsigned int id;
    std::vector<int> keyLengths;
    std::vector<int> blockSizes;
};

const std::vector<Method>& Methods() {
    static const std::vector<Method> methods = {
        {"rijndael", ZEP3DFileCrypt::RIJNDAEL, {16, 24, 32}, {16, 24, 32}},
        {"blowfish", ZEP3DFileCrypt::BLOWFISH, {56}, {8}},
        {"tea", ZEP3DFileCrypt::TEA, {16}, {8}},
    };
    return methods;
}

bool Choose(const std::string& text, const std::vector<std::string>& names, unsigned int* index) {
    for (size_t i = 0; i < names.size(); ++i) {
        if (text == names[i]) {
            *index = static_cast<unsigned int>(i);
            return true;
        }
    }
    return false;
}

std::string List(const std::vector<int>& values) {
    std::string text;
    for (int v : values) text += (text.empty() ? "" : ", ") + std::to_string(v);
    return text;
}

bool Contains(const std::vector<int>& values, int value) {
    for (int v : values)
        if (v == value) return true;
    return false;
}

// Takes the library's messages while a file operation runs, on whichever thread it runs.
class MessageCapture {
  public:
    MessageCapture() {
        platform::SetDebugOutputSink([this](const char* text) {
            std::lock_guard<std::mutex> lock(mutex_);
            messages_.push_back(text);
        });
    }
    ~MessageCapture() { platform::SetDebugOutputSink(nullptr); }
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;
    std::vector<std::string> Messages() {
        std::lock_guard<std::mutex> lock(mutex_);
        return messages_;
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> messages_;
};

// The system's text of an error code without the line end that some systems give it.
std::string ErrorText(int code) {
    std::string text = platform::SystemErrorText(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Runs the file operation on a worker thread while this thread redraws the progress line from the
// bytes the operation has written.
zep::filecrypt::FileOutcome RunWithProgress(
    const std::function<zep::filecrypt::FileOutcome(const zep::filecrypt::FileOptions&)>& operation,
    const std::string& label, uint64_t total, int permissions, bool forced, bool allowed) {
    std::atomic<uint64_t> progress(0);
    zep::filecrypt::FileOptions options;
    options.progress = &progress;
    options.permissions = permissions;
    zep::filecrypt::FileOutcome outcome;
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::thread worker([&] {
        zep::filecrypt::FileOutcome result = operation(options);
        std::lock_guard<std::mutex> lock(mutex);
        outcome = result;
        done = true;
        ended.notify_one();
    });
    auto start = std::chrono::steady_clock::now();
    auto draw = [&](const char* end) {
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::fprintf(stderr, "\r%s%s", FormatProgress(label, progress.load(), total, seconds).c_str(), end);
        std::fflush(stderr);
    };
    bool drawn = false;
    {
        // The first line waits for the quiet start unless forced; the wait ends as soon as the work does.
        std::unique_lock<std::mutex> lock(mutex);
        auto next = start + (forced ? kRedraw : kQuietStart);
        while (!ended.wait_until(lock, next, [&] { return done; })) {
            next = std::chrono::steady_clock::now() + kRedraw;
            if (!allowed) continue;
            lock.unlock();
            draw("");
            drawn = true;
            lock.lock();
        }
    }
    worker.join();
    if (drawn || forced) draw("\n");
    return outcome;
}

// Reads the key as the first line of the file, or of standard input when `path` is empty, without a
// buffer of its own, so no copy of it stays behind.
bool ReadKey(const std::string& path, std::string* key, std::string* error) {
    std::FILE* in = stdin;
    if (!path.empty()) {
        in = platform::OpenStdioPlain(path.c_str(), "rb");
        if (in == nullptr) {
            *error = "cannot read the key file " + path + ": " +
                     platform::SystemErrorText(platform::LastSystemError());
            return false;
        }
        std::setvbuf(in, nullptr, _IONBF, 0);
    }
    int c;
    bool any = false;
    while ((c = std::fgetc(in)) != EOF) {
        any = true;
        if (c == '\n') break;
        key->push_back(static_cast<char>(c));
    }
    if (!key->empty() && key->back() == '\r') key->pop_back();
    if (in != stdin) std::fclose(in);
    if (!any && path.empty()) {
        *error = "no key on standard input";
        return false;
    }
    return true;
}

// What the options ask for, checked: the method and its settings, the key's source and the files.
struct Settings {
    std::string command;
    bool decrypt = false;
    const Method* method = nullptr;
    unsigned int mode = ZEP3DFileCrypt::CBC;
    unsigned int padding = ZEP3DFileCrypt::ZEROES;
    long keyLength = 0;
    long blockSize = 0;
    bool hexKey = false;
    std::string input;
    std::string output;
};

// What a step returns to let the command go on; any other value is the command's exit code.
constexpr int kGoOn = -1;

Options CryptOptions(const std::string& command, bool decrypt) {
    return Options(
        "zep3dtool " + command +
            " [options] --key TEXT|--key-hex HEX|--key-file FILE|--key-stdin INPUT OUTPUT",
        decrypt ? "Deciphers a file written by 'zep3dtool encrypt' (or by the library's EncryptFile) with "
                  "the same\n"
                  "method, mode, padding, key, key length and block size. The file's fingerprint must match "
                  "them.\n"
                  "The deciphered file keeps the padding of the last block (the format stores no length).\n"
                  "An existing OUTPUT is replaced only with --force, and only when deciphering succeeds.\n"
                  "OUTPUT is created readable by its owner only (POSIX mode 0600).\n"
                  "A key given with --key or --key-hex shows in the process list and the shell history;\n"
                  "--key-file and --key-stdin keep it out of both."
                : "Enciphers INPUT into OUTPUT in the library's encrypted file format: a 32-byte fingerprint "
                  "of the\n"
                  "method, key and settings, then the ciphertext; the last block is padded. An existing "
                  "OUTPUT is\n"
                  "replaced only with --force.\n"
                  "A key given with --key or --key-hex shows in the process list and the shell history;\n"
                  "--key-file and --key-stdin keep it out of both.",
        {{"method", "NAME", "rijndael (default), blowfish or tea"},
         {"mode", "MODE", "chaining: ecb, cbc (default) or cfb"},
         {"padding", "PAD", "last block: zeroes (default), blanks or padcount"},
         {"key", "TEXT", "the key as text (its bytes, zero-extended to the key length)"},
         {"key-hex", "HEX", "the key as hexadecimal digits, two per byte"},
         {"key-file", "FILE", "the key as text: the first line of FILE (its line end not included)"},
         {"key-stdin", "", "the key as text: the first line of standard input"},
         {"key-length", "N", "key length in bytes: rijndael 16 (default), 24 or 32; blowfish 56; tea 16"},
         {"block-size", "N", "block size in bytes: rijndael 16 (default), 24 or 32; blowfish and tea 8"},
         {"force", "", "replace an existing OUTPUT"},
         {"progress", "", "always show the progress bar on standard error"},
         {"no-progress", "",
          "never show the progress bar (default: shown when standard error is a\n"
          "                            terminal and the file takes more than half a second)"}},
        2);
}

// The method, mode, padding, key length and block size, and that the key comes from exactly one source.
int ReadSettings(const Options& options, Settings* s) {
    const std::string& command = s->command;
    unsigned int methodIndex = 0;
    if (options.Has("method") &&
        !Choose(options.Value("method"), {"rijndael", "blowfish", "tea"}, &methodIndex))
        return UsageError(command,
                          "unknown method '" + options.Value("method") + "' (rijndael, blowfish or tea)");
    if (options.Has("mode") && !Choose(options.Value("mode"), {"ecb", "cbc", "cfb"}, &s->mode))
        return UsageError(command, "unknown mode '" + options.Value("mode") + "' (ecb, cbc or cfb)");
    if (options.Has("padding") &&
        !Choose(options.Value("padding"), {"zeroes", "blanks", "padcount"}, &s->padding))
        return UsageError(command,
                          "unknown padding '" + options.Value("padding") + "' (zeroes, blanks or padcount)");
    const Method& method = Methods()[methodIndex];
    s->method = &method;
    s->keyLength = method.keyLengths.front();
    s->blockSize = method.blockSizes.front();
    if (options.Has("key-length") && (!ParseInteger(options.Value("key-length"), 1, 1024, &s->keyLength) ||
                                      !Contains(method.keyLengths, static_cast<int>(s->keyLength))))
        return UsageError(command, "key length '" + options.Value("key-length") + "' is not one of " +
                                       method.name + "'s (" + List(method.keyLengths) + ")");
    if (options.Has("block-size") && (!ParseInteger(options.Value("block-size"), 1, 1024, &s->blockSize) ||
                                      !Contains(method.blockSizes, static_cast<int>(s->blockSize))))
        return UsageError(command, "block size '" + options.Value("block-size") + "' is not one of " +
                                       method.name + "'s (" + List(method.blockSizes) + ")");
    const int keySources =
        options.Has("key") + options.Has("key-hex") + options.Has("key-file") + options.Has("key-stdin");
    if (keySources != 1)
        return UsageError(command, "give the key with one of --key, --key-hex, --key-file or --key-stdin");
    if (options.Has("progress") && options.Has("no-progress"))
        return UsageError(command, "--progress and --no-progress exclude each other");
    s->hexKey = options.Has("key-hex");
    s->input = options.Positionals()[0];
    s->output = options.Positionals()[1];
    return kGoOn;
}

// Takes the key from its source and checks it; a hexadecimal key comes out in capitals. Says whether
// the key leaves the settings out of the file's fingerprint. A refused key is wiped.
int TakeKey(const Options& options, const Settings& s, std::string* key, bool* weakFingerprint) {
    if (options.Has("key-file") || options.Has("key-stdin")) {
        std::string error;
        if (!ReadKey(options.Has("key-file") ? options.Value("key-file") : std::string(), key, &error))
            return Fail(s.command, error);
        // The kit takes a text key up to its first zero byte: the rest would be ignored without a word.
        if (key->find('\0') != std::string::npos) {
            platform::SecureWipe(*key);
            return UsageError(s.command, "the key holds a zero byte");
        }
    } else {
        *key = options.Has("key") ? options.Value("key") : options.Value("key-hex");
    }
    size_t keyBytes = key->size();
    if (s.hexKey) {
        bool hex = key->size() % 2 == 0;
        for (char& c : *key) {
            if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
            hex = hex && ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
        }
        if (!hex) {
            platform::SecureWipe(*key);
            return UsageError(s.command, "--key-hex needs an even number of hexadecimal digits");
        }
        keyBytes = key->size() / 2;
    }
    if (keyBytes == 0 || keyBytes > static_cast<size_t>(s.keyLength)) {
        platform::SecureWipe(*key);
        // A longer key would be cut without a word: two keys that differ only past the length would match.
        return UsageError(s.command, "the key must have 1 to " + std::to_string(s.keyLength) +
                                         " bytes, not " + std::to_string(keyBytes));
    }
    // The fingerprint digests the key only up to its first zero byte, and the settings after the key:
    // a key shorter than the key length (zero-extended) leaves the settings out of the fingerprint.
    *weakFingerprint = keyBytes < static_cast<size_t>(s.keyLength);
    if (s.hexKey) {
        for (size_t i = 0; i + 1 < key->size(); i += 2)
            *weakFingerprint = *weakFingerprint || ((*key)[i] == '0' && (*key)[i + 1] == '0');
    }
    return kGoOn;
}

// Checks the input and the output before any work: the input a readable file, the output not the
// input, not a folder, and replaced only with --force; a file to decipher must have a fitting length.
int CheckFiles(const Settings& s, bool force, uint64_t* inSize) {
    const std::string& command = s.command;
    platform::FileStatus inStatus;
    if (!platform::QueryFileStatus(s.input.c_str(), &inStatus))
        return Fail(command, "cannot read " + s.input + ": no such file");
    if (inStatus.isDirectory) return Fail(command, "cannot read " + s.input + ": it is a folder");
    std::FILE* probe = platform::OpenStdioPlain(s.input.c_str(), "rb");
    if (probe == nullptr)
        return Fail(command,
                    "cannot read " + s.input + ": " + platform::SystemErrorText(platform::LastSystemError()));
    std::fclose(probe);
    platform::FileStatus outStatus;
    if (platform::QueryFileStatus(s.output.c_str(), &outStatus)) {
        std::error_code same;
        if (fs::equivalent(fs::u8path(platform::MapPath(s.input.c_str())),
                           fs::u8path(platform::MapPath(s.output.c_str())), same))
            return Fail(command, "the input and the output are the same file");
        if (outStatus.isDirectory) return Fail(command, "cannot write " + s.output + ": it is a folder");
        if (!force) return Fail(command, s.output + " exists; give --force to replace it");
    }
    *inSize = static_cast<uint64_t>(inStatus.size);
    const uint64_t block = static_cast<uint64_t>(s.blockSize);
    if (s.decrypt && (*inSize < kFingerprintBytes || (*inSize - kFingerprintBytes) % block != 0))
        return Fail(command, s.input + " is not an encrypted file with " + std::to_string(s.blockSize) +
                                 "-byte blocks: its length does not fit");
    return kGoOn;
}

// Sets up the crypt method with the key (wiped afterwards, whatever happens) and runs the file work with
// the progress bar; says how many bytes were written.
int CipherFile(const Settings& s, std::string* key, uint64_t inSize, bool forced, bool allowed,
               uint64_t* written) {
    const std::string& command = s.command;
    const uint64_t block = static_cast<uint64_t>(s.blockSize);
    const uint64_t expected =
        s.decrypt ? inSize - kFingerprintBytes : kFingerprintBytes + (inSize + block - 1) / block * block;

    MessageCapture messages;
    ZEP3DFileCrypt::CZEP3DCryptKit kit;
    bool created = kit.Create(1, s.method->id, s.mode, s.padding, key->c_str(),
                              s.hexKey ? ZEP3DFileCrypt::HEX : ZEP3DFileCrypt::TEXT,
                              static_cast<int>(s.keyLength), static_cast<int>(s.blockSize));
    platform::SecureWipe(*key);
    if (!created || kit.GetMethod() == nullptr) {
        std::vector<std::string> said = messages.Messages();
        return Fail(command, "the crypt method cannot be set up" + (said.empty() ? "" : ": " + said.front()));
    }

    // The library writes the output beside it and moves it over it only when complete and correct.
    // Deciphered data is private from its first byte on, whatever mode a replaced file had.
    ZEP3DFileCrypt::ZEP3DICryptMethod* cipher = kit.GetMethod();
    zep::filecrypt::FileOutcome outcome = RunWithProgress(
        [&](const zep::filecrypt::FileOptions& fileOptions) {
            return s.decrypt ? zep::filecrypt::DecipherFile(*cipher, s.input, s.output, fileOptions)
                             : zep::filecrypt::EncipherFile(*cipher, s.input, s.output, fileOptions);
        },
        command, expected, s.decrypt ? 0600 : -1, forced, allowed);
    using zep::filecrypt::FileResult;
    switch (outcome.result) {
        case FileResult::kDone:
            break;
        case FileResult::kSameFile:
            return Fail(command, "the input and the output are the same file");
        case FileResult::kWrongFingerprint:
            return Fail(command,
                        "wrong key or settings for " + s.input +
                            " (method, mode, padding, key, key length and block size must be those it "
                            "was encrypted with)");
        case FileResult::kPartialBlock:
            return Fail(command, s.input + " is not an encrypted file with " + std::to_string(s.blockSize) +
                                     "-byte blocks: its length does not fit");
        case FileResult::kUnreadable:
            return Fail(command, "cannot read " + s.input + ": " + ErrorText(outcome.systemError));
        case FileResult::kUnwritable:
            return Fail(command, "cannot write " + s.output + ": " + ErrorText(outcome.systemError));
        case FileResult::kOutOfMemory:
            return Fail(command, "out of memory");
    }
    *written = outcome.written;
    return kGoOn;
}

// The summary line on standard output, after the note on a weak fingerprint on standard error.
void Report(const Settings& s, bool weakFingerprint, uint64_t inSize, uint64_t written) {
    if (weakFingerprint && !s.decrypt) {
        std::fprintf(
            stderr,
            "zep3dtool encrypt: note: a key shorter than %ld bytes, or with a zero byte, leaves the mode, "
            "padding and block size out of the file's fingerprint, so decrypt cannot refuse wrong ones\n",
            s.keyLength);
    }
    std::printf(
        "%s %s (%llu bytes) into %s (%llu bytes): %s, %s, %s padding, key length %ld, block size %ld\n",
        s.decrypt ? "Decrypted" : "Encrypted", s.input.c_str(), static_cast<unsigned long long>(inSize),
        s.output.c_str(), static_cast<unsigned long long>(written), s.method->name,
        s.mode == 0   ? "ecb"
        : s.mode == 1 ? "cbc"
                      : "cfb",
        s.padding == 0   ? "zeroes"
        : s.padding == 1 ? "blanks"
                         : "padcount",
        s.keyLength, s.blockSize);
}

}  // namespace

int CryptCommand(const std::vector<std::string>& args, bool decrypt) {
    Settings settings;
    settings.command = decrypt ? "decrypt" : "encrypt";
    settings.decrypt = decrypt;
    Options options = CryptOptions(settings.command, decrypt);
    std::string error;
    if (!options.Parse(args, &error)) return UsageError(settings.command, error);
    if (options.Help()) {
        std::fputs(options.HelpText().c_str(), stdout);
        return kExitOk;
    }
    int code = ReadSettings(options, &settings);
    if (code != kGoOn) return code;
    std::string key;
    bool weakFingerprint = false;
    code = TakeKey(options, settings, &key, &weakFingerprint);
    if (code != kGoOn) return code;
    uint64_t inSize = 0;
    code = CheckFiles(settings, options.Has("force"), &inSize);
    if (code != kGoOn) {
        platform::SecureWipe(key);
        return code;
    }
    const bool forced = options.Has("progress");
    const bool allowed = forced || (!options.Has("no-progress") && StderrIsTerminal());
    uint64_t written = 0;
    code = CipherFile(settings, &key, inSize, forced, allowed, &written);
    if (code != kGoOn) return code;
    Report(settings, weakFingerprint, inSize, written);
    return kExitOk;
}

}  // namespace apps
}  // namespace zep
