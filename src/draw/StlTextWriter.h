// The text of an ASCII STL file, built in a large buffer and written to the file in blocks.
#ifndef ZEP3D_DRAW_STLTEXTWRITER_H_
#define ZEP3D_DRAW_STLTEXTWRITER_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace zep {
namespace draw {

// Writes "solid" and facets to a file opened in text mode (so the platform's line end is stored), a
// large block at a time. A node's vertex line is kept in a small cache after its first use, so a node
// shared by several facets (as in any connected mesh) is formatted once while it stays in the cache.
// Reports nothing after Open: a write error of the file is not detected, as with a stream.
class StlTextWriter {
  public:
    // The writer reads coordinates from the three arrays, which stay the caller's.
    // REQUIRES: the arrays hold nodes 0 to nodeCount.
    StlTextWriter(const float* x, const float* y, const float* z, int nodeCount);
    ~StlTextWriter();
    StlTextWriter(const StlTextWriter&) = delete;
    StlTextWriter& operator=(const StlTextWriter&) = delete;

    // Creates (or empties) `path` for writing in text mode; false when it cannot be opened.
    bool Open(const char* path);

    // Writes the line "solid".
    void WriteSolid();

    // Writes the facet with the vertices a, b, c (normal "0 0 0").
    // REQUIRES: a, b and c lie in 1 to nodeCount.
    void WriteFacet(int a, int b, int c);

    // Writes what is left in the buffer and closes the file.
    void Close();

  private:
    // A vertex line as written, kept for one node; 64 bytes, so that it moves in fixed-size copies.
    struct CachedLine {
        int32_t node;  // 0: empty
        uint8_t length;
        char text[59];
    };

    char* AppendVertex(char* p, int node);
    void Flush();

    const float* x_;
    const float* y_;
    const float* z_;
    std::FILE* file_ = nullptr;
    std::unique_ptr<char[]> block_;
    char* buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::unique_ptr<CachedLine[]> cache_;
    std::size_t cacheMask_ = 0;
    char fallback_[4096];  // the buffer when a large one cannot be had
};

}  // namespace draw
}  // namespace zep

#endif  // ZEP3D_DRAW_STLTEXTWRITER_H_
