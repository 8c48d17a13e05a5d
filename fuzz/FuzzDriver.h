// The one libFuzzer entry of every fuzz target: caps the input size and calls the target's Fuzz();
// and the per-run temporary folder of the targets that need files.
#ifndef ZEP3D_FUZZ_FUZZDRIVER_H_
#define ZEP3D_FUZZ_FUZZDRIVER_H_

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

// A new folder of this run under the system's temporary folder (TMPDIR), made on first use with a
// name no other run has, and removed with everything in it when the program ends.
inline const std::string& FuzzTempFolder() {
    static const std::string folder = [] {
        std::error_code error;
        std::string pattern = (std::filesystem::temp_directory_path(error) / "zep3d_fuzz.XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (mkdtemp(name.data()) == nullptr) std::abort();
        return std::string(name.data());
    }();
    static const int removal = std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(FuzzTempFolder(), ignored);
    });
    (void)removal;
    return folder;
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
