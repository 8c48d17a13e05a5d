// Shared test utilities: the parts that need neither system-specific calls nor the library itself.
#include "TestUtil.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace zep {
namespace testing {

namespace fs = std::filesystem;

ScopedTempDir::ScopedTempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "zep3d_test_" << device() << "_" << counter++;
        fs::path candidate = base / name.str();
        std::error_code error;
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.generic_string();
            return;
        }
    }
    std::abort();
}

ScopedTempDir::~ScopedTempDir() {
    std::error_code error;
    fs::remove_all(fs::path(path_), error);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::string();
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

bool FileExists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::path(path), error);
}

std::string DataPath(const std::string& name) { return std::string(ZEP3D_TEST_DATA_DIR) + "/" + name; }

std::string AsTextFile(const std::string& text) {
    std::string end = TextLineEnd();
    if (end == "\n") return text;
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += end;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace testing
}  // namespace zep
