// Tests of the text conversion companion.
#include "ZEPUnicodeTool.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

// The fixed buffers as exact heap blocks, so that AddressSanitizer reports any write past their end.
template <typename Char>
struct Buffer {
    std::unique_ptr<Char[]> block{new Char[32768]()};
    Char (&get())[32768] { return *reinterpret_cast<Char(*)[32768]>(block.get()); }
};
using WideBuffer = Buffer<wchar_t>;
using NarrowBuffer = Buffer<char>;

TEST(ZEPUnicodeTool, ConvertsWholeAndNullTextsAndCutsLongOnesAtACharacterBoundary) {
    CZEPUnicodeTool tool;
    WideBuffer wide;
    tool.AnsiToUtf16("mpiexec -n 4 \"C:\\Run\\solver.exe\"", wide.get());
    EXPECT_EQ(std::wstring(wide.get()), L"mpiexec -n 4 \"C:\\Run\\solver.exe\"");
    tool.AnsiToUtf16(nullptr, wide.get());
    EXPECT_EQ(wide.get()[0], 0);

    NarrowBuffer narrow;
    const std::wstring text = L"caf\x00E9 \x20AC";
    EXPECT_EQ(tool.Utf16ToUtf8(text.c_str(), narrow.get()), 9);
    EXPECT_STREQ(narrow.get(), "caf\xC3\xA9 \xE2\x82\xAC");
    tool.Utf16ToUtf8(nullptr, narrow.get());
    EXPECT_EQ(narrow.get()[0], 0);

    // The caller measures the new text at once, so a null or empty one still gives an array.
    for (const wchar_t* in : {text.c_str(), static_cast<const wchar_t*>(nullptr), L""}) {
        char* owned = nullptr;
        EXPECT_EQ(tool.Utf16ToUtf8(in, owned), in == text.c_str() ? 9 : 0);
        ASSERT_NE(owned, nullptr);
        EXPECT_STREQ(owned, in == text.c_str() ? "caf\xC3\xA9 \xE2\x82\xAC" : "");
        delete[] owned;
    }

    // 40000 plain characters: 32767 are kept and terminated.
    std::string ansi(40000, 'a');
    EXPECT_EQ(tool.AnsiToUtf16(ansi.c_str(), wide.get()), 32767);
    EXPECT_EQ(wide.get()[32767], 0);
    EXPECT_EQ(wide.get()[32766], L'a');

    // 20000 two-byte characters do not fit 32767 bytes: 16383 whole characters are kept.
    std::wstring accents(20000, static_cast<wchar_t>(0xE9));
    EXPECT_EQ(tool.Utf16ToUtf8(accents.c_str(), narrow.get()), 32766);
    EXPECT_EQ(narrow.get()[32766], 0);
    EXPECT_EQ(static_cast<unsigned char>(narrow.get()[32765]), 0xA9);

    // Three-byte characters: 10922 whole ones (32766 bytes), no lead byte left dangling.
    std::wstring euros(11000, static_cast<wchar_t>(0x20AC));
    EXPECT_EQ(tool.Utf16ToUtf8(euros.c_str(), narrow.get()), 32766);
    EXPECT_EQ(static_cast<unsigned char>(narrow.get()[32763]), 0xE2);

    // The allocating form has no limit.
    char* owned = nullptr;
    EXPECT_EQ(tool.Utf16ToUtf8(euros.c_str(), owned), 33000);
    delete[] owned;
}

}  // namespace
