// The text conversion companion: system code page and UTF-8 to and from the wide form, into fixed
// buffers that are never overrun.
#include "ZEPUnicodeTool.h"

#include <cstring>
#include <new>
#include <string>

#include "CompanionText.h"

using zep::companions::CopyUtf8Cut;
using zep::companions::CopyWideCut;

namespace {

constexpr size_t kBufferUnits = 32768;

// A new NUL-terminated copy, or null when memory runs out.
char* NewCopy(const std::string& text) {
    char* out = new (std::nothrow) char[text.size() + 1];
    if (out != nullptr) std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

}  // namespace

CZEPUnicodeTool::CZEPUnicodeTool() {}
CZEPUnicodeTool::~CZEPUnicodeTool() {}

// Each operation returns the number of units written before the terminator, or -1 when memory ran
// out (the buffer then holds the empty text).
int CZEPUnicodeTool::AnsiToUtf16(const char* text, wchar_t (&out)[32768]) {
    try {
        return static_cast<int>(CopyWideCut(zep::companions::SystemToWide(text), out, kBufferUnits));
    } catch (...) {
        out[0] = 0;
        return -1;
    }
}

int CZEPUnicodeTool::Utf16ToUtf8(const wchar_t* text, char (&out)[32768]) {
    try {
        return static_cast<int>(CopyUtf8Cut(zep::companions::WideToUtf8(text), out, kBufferUnits));
    } catch (...) {
        out[0] = 0;
        return -1;
    }
}

int CZEPUnicodeTool::Utf16ToUtf8(const wchar_t* text, char*& out) {
    try {
        std::string utf8 = zep::companions::WideToUtf8(text);
        out = NewCopy(utf8);
        if (out != nullptr) return static_cast<int>(utf8.size());
    } catch (...) {
    }
    // The caller measures the result at once: give it an empty text whenever that can be had.
    out = new (std::nothrow) char[1];
    if (out != nullptr) out[0] = 0;
    return -1;
}
