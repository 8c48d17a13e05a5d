// The system code page on Windows: the ANSI code page through MultiByteToWideChar and
// WideCharToMultiByte.
#include <windows.h>

#include <cstring>

#include "CompanionText.h"

namespace zep {
namespace companions {

void AppendSystemAsWide(const char* text, std::wstring& out) {
    if (text == nullptr || *text == 0) return;
    int length = static_cast<int>(std::strlen(text));
    int units = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    if (units <= 0) return;
    size_t start = out.size();
    out.resize(start + static_cast<size_t>(units));
    MultiByteToWideChar(CP_ACP, 0, text, length, &out[start], units);
}

std::wstring SystemToWide(const char* text) {
    std::wstring out;
    AppendSystemAsWide(text, out);
    return out;
}

std::string WideToSystem(const wchar_t* text) {
    std::string out;
    if (text == nullptr || *text == 0) return out;
    int length = static_cast<int>(wcslen(text));
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return out;
    out.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, text, length, &out[0], bytes, nullptr, nullptr);
    return out;
}

void WipeMemory(void* data, size_t size) {
    if (data != nullptr && size > 0) SecureZeroMemory(data, size);
}

std::string MapLibraryPath(const char* path) { return path == nullptr ? std::string() : std::string(path); }

}  // namespace companions
}  // namespace zep
