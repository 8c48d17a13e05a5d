// Text helpers shared by the companion libraries: UTF-8 and the wide form, cutting a text to a fixed
// buffer at a character boundary, the system code page, library paths and Windows command lines.
#ifndef ZEP3D_COMPANIONS_COMMON_COMPANIONTEXT_H_
#define ZEP3D_COMPANIONS_COMMON_COMPANIONTEXT_H_

#include <cstddef>
#include <string>
#include <vector>

namespace zep {
namespace companions {

// The character that stands in for input that cannot be decoded or encoded.
constexpr char32_t kReplacementCharacter = 0xFFFD;

// UTF-8 of a wide text. The wide form is UTF-16 where wchar_t has two bytes (surrogate pairs are
// joined) and UTF-32 elsewhere; lone surrogates and values past U+10FFFF become U+FFFD. A null text
// gives the empty text.
std::string WideToUtf8(const wchar_t* text);
std::string WideToUtf8(const std::wstring& text);

// Appends the UTF-8 form of text[0..length) to `out`, as WideToUtf8 does; a null text appends nothing.
// Nothing else is allocated, so with room reserved beforehand (four bytes per unit suffice) `out` is
// never moved.
void AppendWideAsUtf8(const wchar_t* text, size_t length, std::string& out);

// The wide form of UTF-8 bytes. Every byte that does not begin a well-formed sequence (overlong forms,
// surrogates and values past U+10FFFF included) becomes one U+FFFD.
std::wstring Utf8ToWide(const char* bytes, size_t length);
std::wstring Utf8ToWide(const std::string& bytes);

// Copies `text` into `out` (capacity `units`, at least 1) and terminates it: when it does not fit, it
// is cut before the first character that would not fit, so no surrogate pair (wide) or multibyte
// sequence (UTF-8) is split. Returns the number of units written before the terminator.
size_t CopyWideCut(const std::wstring& text, wchar_t* out, size_t units);
size_t CopyUtf8Cut(const std::string& text, char* out, size_t units);

// The system code page: on Windows the ANSI code page, on POSIX the character set of the
// environment's default locale (LC_ALL, LC_CTYPE, LANG), used without touching the process's global
// locale. Bytes that do not decode become U+FFFD; characters that the code page cannot hold become
// "?". A null text gives the empty text.
std::wstring SystemToWide(const char* text);
// Appends the wide form of a text in the system code page to `out`; it has at most as many units as the
// text has bytes, and with that much room reserved beforehand `out` is never moved.
void AppendSystemAsWide(const char* text, std::wstring& out);
std::string WideToSystem(const wchar_t* text);

// A path as the library builds it, made openable on this system: on POSIX every backslash becomes
// "/", on Windows the path is kept as it is. A null path gives the empty text.
std::string MapLibraryPath(const char* path);

// Splits a command-line argument string by the Windows rules: blanks (space, tab) separate arguments
// outside double quotes; a double quote opens or closes a quoted part; inside a quoted part two double
// quotes give one literal double quote; 2n backslashes before a double quote give n backslashes and
// the quote keeps its meaning, 2n+1 backslashes give n backslashes and a literal double quote;
// backslashes elsewhere are literal. "" gives an empty argument. A null text gives no arguments.
std::vector<std::string> SplitWindowsCommandLine(const char* text);

// One argument quoted so that SplitWindowsCommandLine (and a Windows program's own parser) gives it
// back unchanged: plain arguments stay as they are, others are put in double quotes with embedded
// double quotes and the backslashes before them escaped.
std::string QuoteWindowsArgument(const std::string& argument);

// One argument quoted for a POSIX shell (single quotes, an embedded single quote written as '\'').
std::string QuoteShellArgument(const std::string& argument);

}  // namespace companions
}  // namespace zep

#endif  // ZEP3D_COMPANIONS_COMMON_COMPANIONTEXT_H_
