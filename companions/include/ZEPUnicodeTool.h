// Text conversion companion: the system code page, the wide form and UTF-8. The wide form is UTF-16 on
// Windows and the platform's wchar_t (UTF-32) on POSIX.
#ifndef ZEP3D_COMPANIONS_ZEPUNICODETOOL_H_
#define ZEP3D_COMPANIONS_ZEPUNICODETOOL_H_

#include "ZEPCompanionExport.h"

class ZEPUNICODETOOL_API CZEPUnicodeTool {
  public:
    CZEPUnicodeTool();
    ~CZEPUnicodeTool();

    // Converts a NUL-terminated text in the system code page into `out`, NUL-terminated. `out` is never
    // written past its end: a text that does not fit is cut at a character boundary.
    int AnsiToUtf16(const char* text, wchar_t (&out)[32768]);

    // Converts a NUL-terminated wide text into UTF-8 in `out`, NUL-terminated, cut at a character
    // boundary when it does not fit.
    int Utf16ToUtf8(const wchar_t* text, char (&out)[32768]);

    // Converts a wide text, which may be null, into a new NUL-terminated UTF-8 array stored in `out`
    // (also for a null or empty text). The caller releases it with array delete.
    int Utf16ToUtf8(const wchar_t* text, char*& out);
};

#endif  // ZEP3D_COMPANIONS_ZEPUNICODETOOL_H_
