// The one libFuzzer entry of every fuzz target: caps the input size and calls the target's Fuzz();
// and what the targets share: the run's temporary folder, a reader of the input, files of bytes.
#ifndef ZEP3D_FUZZ_FUZZDRIVER_H_
#define ZEP3D_FUZZ_FUZZDRIVER_H_

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

// A new folder of this run under the system's temporary folder (TMPDIR), made on first use with a
// name no other run has, and removed with everything in it when the program ends.
inline const std::string& FuzzTempFolder() {
    static const std::string folder = [] {
        std::error_code error;
        std::string name = (std::filesystem::temp_directory_path(error) / "zep3d_fuzz.XXXXXX").string();
        if (mkdtemp(name.data()) == nullptr) std::abort();
        return name;
    }();
    [[maybe_unused]] static const int removal = std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(FuzzTempFolder(), ignored);
    });
    return folder;
}

// The input read from the front; past its end every byte reads as 0.
class FuzzBytes {
  public:
    FuzzBytes(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    float Float() {
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits = (bits << 8) | Byte();
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    // The next n bytes (fewer at the end; all the rest by default) as a zero-terminated text: cut at
    // their first zero byte.
    std::string Text(size_t n = SIZE_MAX) {
        std::string text(reinterpret_cast<const char*>(data_ + pos_), std::min(n, size_ - pos_));
        pos_ += text.size();
        return text.substr(0, text.find('\0'));
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

inline void WriteFuzzFile(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFuzzFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Sends standard output, once, to nowhere: the tools' messages would flood the fuzzer's log (the
// targets run on POSIX only).
inline void QuietStdout() {
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    if (!quiet) std::abort();
}

#ifndef ZEP3D_FUZZ_MAX_INPUT
#define ZEP3D_FUZZ_MAX_INPUT 65536
#endif

// Defined by each target.
void Fuzz(const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size <= ZEP3D_FUZZ_MAX_INPUT) Fuzz(data, size);
    return 0;
}

#endif  // ZEP3D_FUZZ_FUZZDRIVER_H_
