// Conversions through the text companion's fixed buffers.
#include "tools/CompanionText.h"

#include <memory>

#include "ZEPUnicodeTool.h"
#include "platform/Platform.h"

namespace zep {
namespace tools {
namespace {

constexpr size_t kBufferUnits = 32768;
// A piece of at most this many bytes never needs more units than the buffer has.
constexpr size_t kPieceBytes = kBufferUnits / 2;

// The companion's buffers, zero-filled; on the heap, as they are large.
struct WideBuffer {
    wchar_t text[kBufferUnits];
};
struct NarrowBuffer {
    char text[kBufferUnits];
};

}  // namespace

std::wstring WideText(CZEPUnicodeTool& unicode, const std::string& text, bool secret) {
    auto buffer = std::make_unique<WideBuffer>();
    std::wstring wide;
    // One allocation, so that no shorter copy of a secret is left behind in released memory.
    wide.reserve(text.size() + 1);
    std::string piece;
    size_t start = 0;
    do {
        size_t end = start;
        while (end < text.size() && end - start < kPieceBytes) {
            wchar_t c = 0;
            size_t used = zep::platform::DecodeCharacter(text.data() + end, text.size() - end, &c);
            end += used == 0 ? 1 : used;
        }
        piece.assign(text, start, end - start);
        *buffer = WideBuffer();
        unicode.AnsiToUtf16(piece.c_str(), buffer->text);
        buffer->text[kBufferUnits - 1] = 0;
        wide += buffer->text;
        start = end;
    } while (start < text.size());
    if (secret) {
        zep::platform::SecureWipe(buffer->text, sizeof(buffer->text));
        zep::platform::SecureWipe(piece);
    }
    return wide;
}

std::string Utf8Text(CZEPUnicodeTool& unicode, const wchar_t* text) {
    auto buffer = std::make_unique<NarrowBuffer>();
    unicode.Utf16ToUtf8(text != nullptr ? text : L"", buffer->text);
    buffer->text[kBufferUnits - 1] = 0;
    return std::string(buffer->text);
}

}  // namespace tools
}  // namespace zep
