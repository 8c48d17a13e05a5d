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

StdoutCapture::~StdoutCapture() { Stop(); }

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

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool HasForm(const std::string& text, const std::string& pattern) {
    if (text.size() != pattern.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '9' ? !digit : text[i] != pattern[i]) return false;
    }
    return true;
}

std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(fs::path(folder), error)) {
        const std::string name = entry.path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
    }
    return names;
}

std::string DataPath(const std::string& name) { return std::string(ZEP3D_TEST_DATA_DIR) + "/" + name; }

std::string AsTextFile(const std::string& text) {
    const std::string end = TextLineEnd();
    std::string out;
    for (char c : text) out += c == '\n' ? end : std::string(1, c);
    return out;
}

}  // namespace testing
}  // namespace zep
