// CZEPFileIO: file opens with retries and pauses, closes and removals, each traced at level 2.
#include "zep3d/ZEPFileIO.h"

#include <cstdio>
#include <iostream>
#include <locale>
#include <string>

#include "ZEPLocale.h"
#include "platform/Console.h"
#include "platform/Platform.h"

namespace {

constexpr int kTraceLevel = 2;
constexpr int kAttempts = 10;

const char* ErrnoText(int code) {
    switch (code) {
        case 1:
            return "Operation not permitted\n";
        case 2:
            return "No such file or directory\n";
        case 3:
            return "No such process\n";
        case 4:
            return "Interrupted function\n";
        case 5:
            return "I/O error\n";
        case 6:
            return "No such device or address\n";
        case 7:
            return "Argument list too long\n";
        case 8:
            return "Exec format error\n";
        case 9:
            return "Bad file number\n";
        case 10:
            return "No spawned processes\n";
        case 11:
            return "No more processes or not enough memory or maximum nesting level reached\n";
        case 12:
            return "Not enough memory\n";
        case 13:
            return "Permission denied\n";
        case 14:
            return "Bad address\n";
        case 16:
            return "Device or resource busy\n";
        case 17:
            return "File exists\n";
        case 18:
            return "Cross-device link\n";
        case 19:
            return "No such device\n";
        case 20:
            return "Not a directory\n";
        case 21:
            return "Is a directory\n";
        case 22:
            return "Invalid argument\n";
        case 23:
            return "Too many files open in system\n";
        case 24:
            return "Too many open files\n";
        case 25:
            return "Inappropriate I/O control operation\n";
        case 27:
            return "File too large\n";
        case 28:
            return "No space left on device\n";
        case 29:
            return "Invalid seek\n";
        case 30:
            return "Read-only file system\n";
        case 31:
            return "Too many links\n";
        case 32:
            return "Broken pipe\n";
        case 33:
            return "Math argument\n";
        case 34:
            return "Result too large\n";
        case 36:
            return "Resource deadlock would occur\n";
        case 38:
            return "Filename too long\n";
        case 39:
            return "No locks available\n";
        case 40:
            return "Function not supported\n";
        case 41:
            return "Directory not empty\n";
        case 42:
            return "Illegal byte sequence\n";
        case 80:
            return "String was truncated\n";
        default:
            return "Unknown errno_t\n";
    }
}

const char* Text(const char* path) { return path != nullptr ? path : ""; }

// The system's default locale as the locale companion names it, or the classic locale when that name
// cannot be made into a locale.
std::locale SystemDefaultLocale() {
    try {
        CZEPLocale companion;
        const char* name = companion.GetSystemDefaultLocale();
        return std::locale(name != nullptr ? name : "C");
    } catch (...) {
        return std::locale::classic();
    }
}

std::ios_base::openmode Flag(std::ifstream&) { return std::ios_base::in; }
std::ios_base::openmode Flag(std::ofstream&) { return std::ios_base::out; }

}  // namespace

CZEPFileIO::CZEPFileIO() : m_iDebug(0), m_imyid(0), m_iStatus(0) {}

CZEPFileIO::CZEPFileIO(int myid, int traceLevel) : m_iDebug(traceLevel), m_imyid(myid), m_iStatus(0) {}

CZEPFileIO::~CZEPFileIO() {}

void CZEPFileIO::PrintErrnoMessage(int code) {
    if (code == 0) return;
    zep::platform::Print("%s", ErrnoText(code));
    zep::platform::Flush();
}

int CZEPFileIO::OpenFile(FILE*& fp, const char* path, const char* mode, int waitMs) {
    int status = 1;
    bool opened = false;
    for (int attempt = 0; attempt < kAttempts && !opened; ++attempt) {
        int result = zep::platform::OpenStdio(fp, path, mode);
        if (result == 0) {
            opened = true;
            break;
        }
        // The system error belongs to the failed open: take it before anything is printed.
        int systemError = zep::platform::LastSystemError();
        if (m_iDebug >= kTraceLevel) {
            PrintErrnoMessage(result);
            std::string text = zep::platform::SystemErrorText(systemError);
            if (systemError != 0) {
                zep::platform::Print("SystemError:%d (%s)\n", systemError, text.c_str());
                zep::platform::Flush();
            }
            zep::platform::Stream() << "m_imyid = " << m_imyid << ", Error message = " << text << std::endl;
            zep::platform::Stream() << "m_imyid=" << m_imyid
                                    << " , fopen_s() trying open file = " << Text(path) << std::endl;
        }
        status = result;
        zep::platform::SleepMs(waitMs);
    }
    if (!opened) {
        if (m_iDebug >= kTraceLevel) {
            zep::platform::Stream() << "m_imyid= " << m_imyid << ",error=" << status
                                    << ",filename=" << Text(path) << std::endl;
        }
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            fp = zep::platform::OpenStdioPlain(path, mode);
            if (fp != nullptr) {
                opened = true;
                break;
            }
            if (m_iDebug >= kTraceLevel) {
                zep::platform::Stream()
                    << "m_imyid=" << m_imyid << " , fopen() trying open file = " << Text(path) << std::endl;
            }
            zep::platform::SleepMs(waitMs);
        }
    }
    if (opened) {
        status = 0;
        if (m_iDebug >= kTraceLevel) {
            zep::platform::Stream() << "m_imyid= " << m_imyid << ",succeeded in opening file:" << Text(path)
                                    << std::endl;
        }
    }
    m_iStatus = status;
    return m_iStatus;
}

template <typename Stream>
int CZEPFileIO::OpenStream(Stream& stream, const char* path, unsigned int openMode, int waitMs) {
    const std::locale classic = std::locale::classic();
    std::locale::global(SystemDefaultLocale());
    bool opened = false;
    if (!stream.is_open()) {
        const std::ios_base::openmode mode = static_cast<std::ios_base::openmode>(openMode) | Flag(stream);
        for (int attempt = 0; attempt < kAttempts; ++attempt) {
            stream.imbue(classic);
            if (zep::platform::OpenFileBuffer(*stream.rdbuf(), path, mode)) {
                stream.clear();
            } else {
                stream.setstate(std::ios_base::failbit);
            }
            if ((stream.rdstate() & (std::ios_base::failbit | std::ios_base::badbit)) == 0) {
                opened = true;
                break;
            }
            if (m_iDebug >= kTraceLevel) zep::platform::Print("open %s error=%d\n", Text(path), 1);
            zep::platform::SleepMs(waitMs);
        }
    }
    std::locale::global(classic);
    if (opened && m_iDebug >= kTraceLevel) {
        zep::platform::Stream() << "m_imyid= " << m_imyid << ",succeeded in opening file:" << Text(path)
                                << std::endl;
    }
    m_iStatus = opened ? 0 : 1;
    return m_iStatus;
}

int CZEPFileIO::OpenFile(std::ifstream& in, const char* path, unsigned int openMode, int waitMs) {
    return OpenStream(in, path, openMode, waitMs);
}

int CZEPFileIO::OpenFile(std::ofstream& out, const char* path, unsigned int openMode, int waitMs) {
    return OpenStream(out, path, openMode, waitMs);
}

int CZEPFileIO::CloseFile(FILE*& fp, const char* path) {
    if (fp == nullptr) {
        m_iStatus = 1;
        return 1;
    }
    int result = std::fclose(fp);
    fp = nullptr;
    m_iStatus = result;
    if (m_iDebug >= kTraceLevel) {
        if (result == 0) {
            zep::platform::Stream() << "m_imyid= " << m_imyid << ",succeeded in closing file:" << Text(path)
                                    << std::endl;
        } else {
            zep::platform::Stream() << Text(path) << " can not be closed. Error code = " << result
                                    << std::endl;
        }
    }
    return result;
}

int CZEPFileIO::RemoveFile(const char* path, int waitMs) {
    zep::platform::SleepMs(waitMs);
    int result = zep::platform::RemoveFile(path);
    if (result == 0 && m_iDebug >= kTraceLevel) {
        zep::platform::Stream() << "iStatus= " << 0 << ",succeeded in deleting file:" << Text(path)
                                << std::endl;
    }
    m_iStatus = result;
    return result;
}
