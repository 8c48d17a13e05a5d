// The two-half reader of the encrypted file operations.
#include "filecrypt/ZEP3DDoubleBuffering.h"

#include <cstring>

#include "platform/Platform.h"

namespace ZEP3DFileCrypt {

CZEP3DDoubleBuffering::CZEP3DDoubleBuffering(std::ifstream& file, char* buffer, int size, int dataLength)
    : m_rFile(file),
      m_iSize(size),
      m_iHalfSize(size / 2),
      m_iDataLen(dataLength),
      m_iCurPos(0),
      m_iEnd(0),
      m_bWrapped(false),
      m_pcBuffer(buffer),
      m_bEOF(true),
      m_bUsable(false) {
    if (m_iSize % 2 != 0) {
        zep::platform::DebugOutput(
            "CZEP3DDoubleBuffering::CZEP3DDoubleBuffering()-m_iSize should be Even Number!");
        return;
    }
    if (!m_rFile.is_open() || m_rFile.bad()) {
        zep::platform::DebugOutput(
            "CZEP3DDoubleBuffering::CZEP3DDoubleBuffering()-Referenced File not Opened or in Bad State!");
        return;
    }
    if (m_iDataLen < 1 || m_iDataLen > m_iHalfSize || m_pcBuffer == nullptr) {
        zep::platform::DebugOutput(
            "CZEP3DDoubleBuffering::CZEP3DDoubleBuffering()-Illegal Construction Data!");
        return;
    }
    m_iEnd = ReadInto(m_pcBuffer);
    m_bEOF = false;
    m_bUsable = true;
}

int CZEP3DDoubleBuffering::ReadInto(char* at) {
    m_rFile.read(at, m_iHalfSize);
    return static_cast<int>(m_rFile.gcount());
}

// Hands out what is left between the current position and the end of the valid data.
int CZEP3DDoubleBuffering::Finish(char* out) {
    m_bEOF = true;
    int rest = m_iEnd - m_iCurPos;
    if (rest <= 0) return 0;
    std::memcpy(out, m_pcBuffer + m_iCurPos, static_cast<size_t>(rest));
    m_iCurPos = m_iEnd;
    return rest;
}

int CZEP3DDoubleBuffering::GetData(char* out, int dataLength) {
    if (!m_bUsable || out == nullptr) return 0;
    int len = dataLength == -1 ? m_iDataLen : dataLength;
    if (len < 1 || len > m_iHalfSize) {
        zep::platform::DebugOutput("CZEP3DDoubleBuffering::GetData()-Illegal iDataLen");
        return 0;
    }
    if (m_bEOF) return 0;

    int p = m_iCurPos + len;
    if (p < m_iEnd) {
        std::memcpy(out, m_pcBuffer + m_iCurPos, static_cast<size_t>(len));
        m_iCurPos = p;
        return len;
    }
    if (m_rFile.eof()) return Finish(out);

    if (!m_bWrapped) {
        // Valid data ends within the first half here, so the second half is free.
        m_iEnd += ReadInto(m_pcBuffer + m_iEnd);
        if (p > m_iEnd) return Finish(out);
        std::memcpy(out, m_pcBuffer + m_iCurPos, static_cast<size_t>(len));
        m_iCurPos = p;
        m_bWrapped = true;
        return len;
    }

    // Wrapped: the valid data runs to the end of the buffer and the current position lies in the second
    // half, so the first half is free for the next read. A second half filled short without the
    // end-of-file flag (a read error) ends the data where it stops.
    if (m_iEnd < m_iSize) return Finish(out);
    int k = m_iSize - m_iCurPos;
    m_iEnd = ReadInto(m_pcBuffer);
    int r = p % m_iSize;
    if (k > 0) std::memcpy(out, m_pcBuffer + m_iCurPos, static_cast<size_t>(k));
    if (r <= m_iEnd) {
        std::memcpy(out + k, m_pcBuffer, static_cast<size_t>(len - k));
        m_iCurPos = r;
        m_bWrapped = false;
        return len;
    }
    m_bEOF = true;
    if (m_iEnd > 0) std::memcpy(out + k, m_pcBuffer, static_cast<size_t>(m_iEnd));
    m_iCurPos = m_iEnd;
    return k + m_iEnd;
}

}  // namespace ZEP3DFileCrypt
