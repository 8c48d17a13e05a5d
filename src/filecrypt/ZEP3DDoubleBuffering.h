// A reader that hands out an input file in fixed-size pieces from a caller's buffer of two halves.
#ifndef ZEP3D_FILECRYPT_ZEP3DDOUBLEBUFFERING_H_
#define ZEP3D_FILECRYPT_ZEP3DDOUBLEBUFFERING_H_

#include <fstream>

namespace ZEP3DFileCrypt {

// Reads `file` half a buffer at a time, never more than one half ahead of what it has handed out.
// Owns neither the stream nor the buffer; both must outlive it.
class CZEP3DDoubleBuffering {
  public:
    // Checks, in this order, that `size` is even, that the stream is open and not bad, and that
    // 1 <= dataLength <= size / 2 (and that `buffer` is given); on failure it reports the matching
    // "CZEP3DDoubleBuffering::CZEP3DDoubleBuffering()-..." message and the reader hands out nothing.
    // Otherwise it fills the first half from the stream.
    CZEP3DDoubleBuffering(std::ifstream& file, char* buffer, int size, int dataLength);
    CZEP3DDoubleBuffering(const CZEP3DDoubleBuffering&) = delete;
    CZEP3DDoubleBuffering& operator=(const CZEP3DDoubleBuffering&) = delete;

    // Copies the next `dataLength` bytes of the stream to `out` (-1: the length given at construction)
    // and returns that count; at the end of the stream it copies the shorter rest and returns its count,
    // and after that 0 for ever. A length below 1 or above size / 2 is refused with
    // "CZEP3DDoubleBuffering::GetData()-Illegal iDataLen" and 0. A reader whose construction failed
    // returns 0.
    // REQUIRES: out has room for the length asked for.
    int GetData(char* out, int dataLength = -1);

  private:
    int ReadInto(char* at);
    int Finish(char* out);

    std::ifstream& m_rFile;
    int m_iSize;
    int m_iHalfSize;
    int m_iDataLen;
    int m_iCurPos;
    int m_iEnd;
    bool m_bWrapped;
    char* m_pcBuffer;
    bool m_bEOF;
    bool m_bUsable;  // construction passed its checks
};

}  // namespace ZEP3DFileCrypt

#endif  // ZEP3D_FILECRYPT_ZEP3DDOUBLEBUFFERING_H_
