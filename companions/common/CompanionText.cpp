// The system-independent text helpers of the companion libraries: UTF-8, cutting and command lines.
#include "CompanionText.h"

#include <cstring>
#include <cwchar>

namespace zep {
namespace companions {
namespace {

constexpr bool kWideIsUtf16 = sizeof(wchar_t) == 2;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

void AppendUtf8(char32_t c, std::string& out) {
    if (c > 0x10FFFF || IsSurrogate(c)) c = kReplacementCharacter;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void AppendWide(char32_t c, std::wstring& out) {
    if (kWideIsUtf16 && c >= 0x10000) {
        c -= 0x10000;
        out += static_cast<wchar_t>(0xD800 + (c >> 10));
        out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
        out += static_cast<wchar_t>(c);
    }
}

// The length of the well-formed UTF-8 sequence at bytes[0..length), or 0 (RFC 3629, table 3-7 of the
// Unicode standard).
size_t Utf8SequenceLength(const unsigned char* bytes, size_t length, char32_t* out) {
    unsigned char b0 = bytes[0];
    if (b0 < 0x80) {
        *out = b0;
        return 1;
    }
    size_t need;
    char32_t c;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 2;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 3;
        c = b0 & 0x0F;
        if (b0 == 0xE0) low = 0xA0;   // no overlong forms
        if (b0 == 0xED) high = 0x9F;  // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 4;
        c = b0 & 0x07;
        if (b0 == 0xF0) low = 0x90;
        if (b0 == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (length < need) return 0;
    if (bytes[1] < low || bytes[1] > high) return 0;
    for (size_t k = 1; k < need; ++k) {
        if ((bytes[k] & 0xC0) != 0x80) return 0;
        c = (c << 6) | (bytes[k] & 0x3F);
    }
    *out = c;
    return need;
}

}  // namespace

void AppendWideAsUtf8(const wchar_t* text, size_t length, std::string& out) {
    if (text == nullptr) return;
    for (size_t i = 0; i < length; ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if (kWideIsUtf16) c &= 0xFFFF;
        if (kWideIsUtf16 && c >= 0xD800 && c <= 0xDBFF && i + 1 < length) {
            char32_t next = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
            if (next >= 0xDC00 && next <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(c, out);
    }
}

std::string WideToUtf8(const wchar_t* text) {
    std::string out;
    if (text == nullptr) return out;
    size_t length = std::wcslen(text);
    out.reserve(length);
    AppendWideAsUtf8(text, length, out);
    return out;
}

std::string WideToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    AppendWideAsUtf8(text.data(), text.size(), out);
    return out;
}

std::wstring Utf8ToWide(const char* bytes, size_t length) {
    std::wstring out;
    if (bytes == nullptr) return out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    size_t i = 0;
    while (i < length) {
        char32_t c = 0;
        size_t used = Utf8SequenceLength(p + i, length - i, &c);
        if (used == 0) {
            AppendWide(kReplacementCharacter, out);
            ++i;
        } else {
            AppendWide(c, out);
            i += used;
        }
    }
    return out;
}

std::wstring Utf8ToWide(const std::string& bytes) { return Utf8ToWide(bytes.data(), bytes.size()); }

size_t CopyWideCut(const std::wstring& text, wchar_t* out, size_t units) {
    if (out == nullptr || units == 0) return 0;
    size_t n = text.size();
    if (n > units - 1) {
        n = units - 1;
        // Do not keep the first half of a surrogate pair whose second half is cut off.
        if (kWideIsUtf16 && n > 0) {
            char32_t last = static_cast<char32_t>(text[n - 1]) & 0xFFFF;
            if (last >= 0xD800 && last <= 0xDBFF) --n;
        }
    }
    if (n > 0) std::memcpy(out, text.data(), n * sizeof(wchar_t));
    out[n] = 0;
    return n;
}

size_t CopyUtf8Cut(const std::string& text, char* out, size_t units) {
    if (out == nullptr || units == 0) return 0;
    size_t n = text.size();
    if (n > units - 1) {
        n = units - 1;
        // Step back over continuation bytes to the start of the character that does not fit whole.
        size_t start = n;
        while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
        n = start;
    }
    if (n > 0) std::memcpy(out, text.data(), n);
    out[n] = 0;
    return n;
}

std::vector<std::string> SplitWindowsCommandLine(const char* text) {
    std::vector<std::string> args;
    if (text == nullptr) return args;
    const char* p = text;
    for (;;) {
        while (*p == ' ' || *p == '\t') ++p;
        if (*p == 0) break;
        std::string arg;
        bool quoted = false;
        while (*p != 0) {
            if (!quoted && (*p == ' ' || *p == '\t')) break;
            if (*p == '\\') {
                size_t count = 0;
                while (*p == '\\') {
                    ++count;
                    ++p;
                }
                if (*p == '"') {
                    arg.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        arg += '"';
                        ++p;
                    }
                } else {
                    arg.append(count, '\\');
                }
                continue;
            }
            if (*p == '"') {
                if (quoted && p[1] == '"') {
                    arg += '"';
                    p += 2;
                } else {
                    quoted = !quoted;
                    ++p;
                }
                continue;
            }
            arg += *p++;
        }
        args.push_back(arg);
    }
    return args;
}

std::string QuoteWindowsArgument(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
        } else {
            out.append(backslashes, '\\');
        }
        backslashes = 0;
        out += c;
    }
    // Backslashes before the closing quote must not escape it.
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::string QuoteShellArgument(const std::string& argument) {
    std::string out = "'";
    for (char c : argument) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    out += '\'';
    return out;
}

}  // namespace companions
}  // namespace zep
