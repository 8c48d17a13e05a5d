// Text handed to the companions and taken back from them, through the text companion's fixed buffers of
// 32768 units: the one place that knows their size.
#ifndef ZEP3D_TOOLS_COMPANIONTEXT_H_
#define ZEP3D_TOOLS_COMPANIONTEXT_H_

#include <string>

class CZEPUnicodeTool;

namespace zep {
namespace tools {

// The wide form of a text in the system code page. The companion converts into a fixed buffer, so a
// long text is converted piece by piece, each piece ending on a character boundary, and comes back
// whole. With `secret` every conversion buffer is wiped after use.
std::wstring WideText(CZEPUnicodeTool& unicode, const std::string& text, bool secret = false);

// The UTF-8 form of a wide text (null counts as empty), through the companion's fixed buffer: a result
// that does not fit is cut as the companion cuts it.
std::string Utf8Text(CZEPUnicodeTool& unicode, const wchar_t* text);

}  // namespace tools
}  // namespace zep

#endif  // ZEP3D_TOOLS_COMPANIONTEXT_H_
