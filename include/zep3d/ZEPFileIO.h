// CZEPFileIO: opening, closing and removing files with retries, pauses and per-attempt traces.
#ifndef ZEP3D_INCLUDE_ZEPFILEIO_H_
#define ZEP3D_INCLUDE_ZEPFILEIO_H_

#include <cstdio>
#include <fstream>

#include "zep3d/Export.h"

// Every operation stores its result in m_iStatus (0 = success) and returns it. At trace level
// (m_iDebug) 2 or more each attempt writes a trace line to standard output carrying m_imyid, so that
// the traces of several processes can be told apart; below 2 nothing at all is written.
class ZEP3DTOOL_API CZEPFileIO {
  public:
    // All three fields 0.
    CZEPFileIO();
    CZEPFileIO(int myid, int traceLevel);
    virtual ~CZEPFileIO();

    // Opens a standard I/O stream: up to 10 attempts with fopen_s semantics, then up to 10 with fopen,
    // pausing waitMs milliseconds after every failed attempt. Returns 0 on success (fp set), otherwise
    // the last fopen_s error number (fp null).
    int OpenFile(FILE*& fp, const char* path, const char* mode, int waitMs);

    // Opens an input (output) file stream on path with openMode combined with the input (output) flag,
    // with shared access, up to 10 attempts with a pause of waitMs after each failure. The stream is
    // imbued with the classic "C" locale. While opening, the global locale is the system's default
    // locale; afterwards it is "C". Returns 0 on success, 1 on failure or when the stream was open.
    int OpenFile(std::ifstream& in, const char* path, unsigned int openMode, int waitMs);
    int OpenFile(std::ofstream& out, const char* path, unsigned int openMode, int waitMs);

    // Closes fp and sets it to null: the result of fclose, or 1 when fp was null. path is only traced.
    int CloseFile(FILE*& fp, const char* path);

    // Waits waitMs milliseconds, then removes path: 0 on success, -1 otherwise.
    int RemoveFile(const char* path, int waitMs);

    // Prints the text of an error number of fopen_s (nothing for 0) and flushes standard output.
    void PrintErrnoMessage(int code);

    int m_iDebug;   // trace level; traces are written when it is 2 or more
    int m_imyid;    // id printed in the traces
    int m_iStatus;  // result of the last operation

  private:
    template <typename Stream>
    int OpenStream(Stream& stream, const char* path, unsigned int openMode, int waitMs);
};

#endif  // ZEP3D_INCLUDE_ZEPFILEIO_H_
