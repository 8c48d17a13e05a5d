// The text of an ASCII STL file, built in a large buffer and written to the file in blocks.
#ifndef ZEP3D_DRAW_STLTEXTWRITER_H_
#define ZEP3D_DRAW_STLTEXTWRITER_H_

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

namespace zep {
namespace draw {

// Writes "solid" and facets to a file opened in text mode (so the platform's line end is stored), a
// large block at a time. While the facets share nodes (as in any connected mesh), a node's vertex line
// is kept in a small cache after its first use, so it is formatted once while it stays there; while
// they do not (every facet with nodes of its own), lines are not kept, which would only cost time.
// While the file is open, a worker thread writes each full block to the file while the caller's thread
// fills the next (without a thread to be had, the caller's thread writes it); Close ends the worker.
// A failed write or close is remembered and returned by Close.
class StlTextWriter {
  public:
    // The writer reads coordinates from the three arrays, which stay the caller's.
    // REQUIRES: the arrays hold nodes 0 to nodeCount.
    StlTextWriter(const float* x, const float* y, const float* z, int nodeCount);
    ~StlTextWriter();
    StlTextWriter(const StlTextWriter&) = delete;
    StlTextWriter& operator=(const StlTextWriter&) = delete;

    // Creates (or empties) `path` for writing in text mode; false when it cannot be opened. With
    // `isNewEmptyFile`, `path` is a file just made empty and is opened as it is: a file emptied by its
    // opening is written out to the disk when it is closed on some file systems, which costs time.
    bool Open(const char* path, bool isNewEmptyFile = false);

    // Writes the line "solid".
    void WriteSolid();

    // Writes the facet with the vertices a, b, c (normal "0 0 0").
    // REQUIRES: a, b and c lie in 1 to nodeCount.
    void WriteFacet(int a, int b, int c);

    // Writes what is left in the buffer and closes the file. Returns 0 when every write and the close
    // succeeded (or no file was open), otherwise the system error code of the first that failed.
    int Close();

  private:
    // The coordinates of a vertex line as written, kept for one node; 64 bytes, so that they move in
    // fixed-size copies.
    struct CachedLine {
        uint8_t length;
        char text[63];
    };

    // REQUIRES: the cache exists.
    char* AppendCoordinates(char* p, int node);
    void EndWindow();
    // Hands the filled part of the current block to the file and starts the next block.
    void Flush();
    // The worker: writes the blocks handed to it until it is stopped.
    void WriteBlocks();
    // Waits for the block being written and ends the worker.
    void StopWorker();

    const float* x_;
    const float* y_;
    const float* z_;
    std::FILE* file_ = nullptr;
    int error_ = 0;  // the first failed write of the open file
    // A ring of blocks: the caller fills one while the worker writes those filled before it. Several
    // in flight, so that the time the worker takes to wake up is spent filling the next ones.
    static constexpr int kBlocks = 4;
    std::unique_ptr<char[]> blocks_[kBlocks];  // all but the first only when there is a worker
    std::size_t lengths_[kBlocks] = {};
    char* buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable wake_;  // a block to write, or the end
    std::condition_variable idle_;  // a block is written
    // Under the lock while the worker runs:
    std::size_t posted_ = 0;   // blocks handed to the worker, in order (block i is blocks_[i % kBlocks])
    std::size_t written_ = 0;  // of those, the ones written
    bool stop_ = false;
    // The cache: per slot the node last looked up there (0: none yet), with kLineMissing set when its
    // line was not kept, and the kept lines. The nodes are recorded in every tracked window, even while
    // no lines are kept, so that the share of repeated nodes is known either way.
    std::unique_ptr<uint32_t[]> cacheNodes_;
    std::unique_ptr<CachedLine[]> cacheLines_;
    std::size_t cacheMask_ = 0;
    bool tracking_ = false;   // the facets of this window go through the cache
    bool keepLines_ = false;  // ... and their new lines are kept
    uint32_t repeats_ = 0;
    uint32_t windowFacetsLeft_;
    uint32_t untrackedWindows_ = 0;
    char fallback_[4096];  // the buffer when a large one cannot be had
};

}  // namespace draw
}  // namespace zep

#endif  // ZEP3D_DRAW_STLTEXTWRITER_H_
