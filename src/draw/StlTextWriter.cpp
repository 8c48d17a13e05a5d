// The ASCII STL text writer: facet text built in a block buffer, vertex coordinates cached per node.
#include "draw/StlTextWriter.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <thread>

#include "draw/FloatFormat.h"
#include "platform/Platform.h"

namespace zep {
namespace draw {
namespace {

// The file receives the text in blocks of this size: large enough that the system calls cost little,
// small enough to stay in the processor's cache while it is filled.
constexpr std::size_t kBlockSize = std::size_t{1} << 19;

// Nodes whose vertex lines are kept: a mesh's faces usually come in an order in which the faces around
// a node are near each other, so a few thousand lines catch most repeated nodes.
constexpr std::size_t kMaxCachedLines = std::size_t{1} << 14;

// Marks a cache slot whose node was seen but whose line was not kept (node numbers stay below 2^31).
constexpr uint32_t kLineMissing = uint32_t{1} << 31;

// The facets are taken in windows of this many. In a tracked window every node goes through the
// cache, and its share of repeated nodes decides whether lines are kept in the next: keeping a line
// costs a copy of freshly written bytes, about as much as formatting one number, and a repeat saves
// three numbers, so keeping pays from about one repeat in four. When it does not pay, the next
// kUntrackedWindows windows leave the cache alone (its bookkeeping costs time at every vertex), and
// then a tracked window looks again.
constexpr uint32_t kWindowFacets = 1024;
constexpr uint32_t kMinRepeatsToKeep = 3 * kWindowFacets / 4;
constexpr uint32_t kUntrackedWindows = 15;

constexpr char kSolid[] = "solid\n";
// A facet's text around its three vertices' coordinates, each piece with the line ends next to it, so
// that a facet is four copies of constant text and three coordinate texts.
constexpr char kFacetStart[] = "  facet normal  0 0 0\n    outer loop\n      vertex  ";
constexpr char kNextVertex[] = "\n      vertex  ";
constexpr char kFacetEnd[] = "\n    endloop\n  endfacet\n";
constexpr std::size_t kFacetStartLength = sizeof(kFacetStart) - 1;
constexpr std::size_t kNextVertexLength = sizeof(kNextVertex) - 1;
constexpr std::size_t kFacetEndLength = sizeof(kFacetEnd) - 1;

// The bytes the coordinates of a vertex may touch: two numbers and their spaces, and the room that
// the last number's fixed-size stores may reach.
constexpr std::size_t kCoordinatesRoom = 2 * (12 + 1) + kMaxFloatText;

// The bytes a facet may touch.
constexpr std::size_t kFacetRoom =
    kFacetStartLength + 3 * kCoordinatesRoom + 2 * kNextVertexLength + kFacetEndLength;

// The coordinates of `node`, "x y z", formatted.
inline char* FormatCoordinates(char* p, const float* x, const float* y, const float* z, int node) {
    p = FormatFloat(x[node], p);
    *p++ = ' ';
    p = FormatFloat(y[node], p);
    *p++ = ' ';
    return FormatFloat(z[node], p);
}

// The system's code for a write or close that just failed; never 0.
int FailureCode() {
    const int code = zep::platform::LastSystemError();
    return code != 0 ? code : EIO;
}

}  // namespace

StlTextWriter::StlTextWriter(const float* x, const float* y, const float* z, int nodeCount)
    : x_(x), y_(y), z_(z), windowFacetsLeft_(kWindowFacets) {
    static_assert(sizeof(CachedLine::text) >= kCoordinatesRoom, "a cached line holds all its text touches");
    for (std::unique_ptr<char[]>& block : blocks_) {
        block.reset(new (std::nothrow) char[kBlockSize]);
        if (!block) break;
    }
    buffer_ = blocks_[0] ? blocks_[0].get() : fallback_;
    capacity_ = blocks_[0] ? kBlockSize : sizeof(fallback_);
    std::size_t lines = 1;
    while (lines < kMaxCachedLines && static_cast<long long>(lines) <= static_cast<long long>(nodeCount)) {
        lines <<= 1;
    }
    if (nodeCount > 0) {
        cacheNodes_.reset(new (std::nothrow) uint32_t[lines]());  // node 0 everywhere: empty
        cacheLines_.reset(new (std::nothrow) CachedLine[lines]);
        if (cacheNodes_ && cacheLines_) {
            cacheMask_ = lines - 1;
            tracking_ = true;
        } else {
            cacheNodes_.reset();
            cacheLines_.reset();
        }
    }
}

StlTextWriter::~StlTextWriter() { Close(); }

bool StlTextWriter::Open(const char* path, bool isNewEmptyFile) {
    Close();
    error_ = 0;
    file_ = zep::platform::OpenStdioPlain(path, isNewEmptyFile ? "r+" : "w");
    if (file_ == nullptr) return false;
    if (blocks_[kBlocks - 1]) {
        stop_ = false;
        posted_ = 0;
        written_ = 0;
        buffer_ = blocks_[0].get();
        try {
            worker_ = std::thread([this] { WriteBlocks(); });
        } catch (...) {
            // No thread to be had: the blocks are written by the caller's thread.
        }
    }
    return true;
}

void StlTextWriter::WriteSolid() {
    if (file_ == nullptr) return;
    if (capacity_ - used_ < sizeof(kSolid)) Flush();
    std::memcpy(buffer_ + used_, kSolid, sizeof(kSolid) - 1);
    used_ += sizeof(kSolid) - 1;
}

char* StlTextWriter::AppendCoordinates(char* p, int node) {
    const uint32_t key = static_cast<uint32_t>(node);
    const std::size_t slot = key & cacheMask_;
    uint32_t& seen = cacheNodes_[slot];
    CachedLine& line = cacheLines_[slot];
    if (seen == key) {
        std::memcpy(p, line.text, kCoordinatesRoom);
        ++repeats_;
        return p + line.length;
    }
    if ((seen & ~kLineMissing) == key) ++repeats_;
    char* end = FormatCoordinates(p, x_, y_, z_, node);
    if (keepLines_) {
        line.length = static_cast<uint8_t>(end - p);
        std::memcpy(line.text, p, kCoordinatesRoom);
        seen = key;
    } else {
        seen = key | kLineMissing;
    }
    return end;
}

void StlTextWriter::EndWindow() {
    if (tracking_) {
        keepLines_ = repeats_ >= kMinRepeatsToKeep;
        if (!keepLines_) {
            tracking_ = false;
            untrackedWindows_ = kUntrackedWindows;
        }
    } else if (cacheNodes_ && --untrackedWindows_ == 0) {
        tracking_ = true;  // never without a cache
    }
    repeats_ = 0;
    windowFacetsLeft_ = kWindowFacets;
}

void StlTextWriter::WriteFacet(int a, int b, int c) {
    if (file_ == nullptr) return;
    if (capacity_ - used_ < kFacetRoom) Flush();
    char* p = buffer_ + used_;
    std::memcpy(p, kFacetStart, kFacetStartLength);
    p += kFacetStartLength;
    if (tracking_) {
        p = AppendCoordinates(p, a);
        std::memcpy(p, kNextVertex, kNextVertexLength);
        p = AppendCoordinates(p + kNextVertexLength, b);
        std::memcpy(p, kNextVertex, kNextVertexLength);
        p = AppendCoordinates(p + kNextVertexLength, c);
    } else {
        p = FormatCoordinates(p, x_, y_, z_, a);
        std::memcpy(p, kNextVertex, kNextVertexLength);
        p = FormatCoordinates(p + kNextVertexLength, x_, y_, z_, b);
        std::memcpy(p, kNextVertex, kNextVertexLength);
        p = FormatCoordinates(p + kNextVertexLength, x_, y_, z_, c);
    }
    std::memcpy(p, kFacetEnd, kFacetEndLength);
    used_ = static_cast<std::size_t>(p + kFacetEndLength - buffer_);
    if (--windowFacetsLeft_ == 0) EndWindow();
}

void StlTextWriter::Flush() {
    if (file_ == nullptr || used_ == 0) {
        used_ = 0;
        return;
    }
    if (!worker_.joinable()) {
        if (std::fwrite(buffer_, 1, used_, file_) != used_ && error_ == 0) error_ = FailureCode();
        used_ = 0;
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    lengths_[posted_ % kBlocks] = used_;
    ++posted_;
    wake_.notify_one();
    // The next block is free once the worker has written what it held.
    idle_.wait(lock, [this] { return posted_ - written_ < kBlocks; });
    buffer_ = blocks_[posted_ % kBlocks].get();
    used_ = 0;
}

void StlTextWriter::WriteBlocks() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || written_ < posted_; });
        if (written_ == posted_) return;
        const char* data = blocks_[written_ % kBlocks].get();
        const std::size_t length = lengths_[written_ % kBlocks];
        const bool failed = error_ != 0;
        lock.unlock();
        // After a failed write the rest is not written.
        int error = 0;
        if (!failed && std::fwrite(data, 1, length, file_) != length) error = FailureCode();
        lock.lock();
        if (error != 0 && error_ == 0) error_ = error;
        ++written_;
        idle_.notify_one();
    }
}

void StlTextWriter::StopWorker() {
    if (!worker_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

int StlTextWriter::Close() {
    if (file_ == nullptr) return 0;
    Flush();
    StopWorker();
    if (std::fclose(file_) != 0 && error_ == 0) error_ = FailureCode();
    file_ = nullptr;
    return error_;
}

}  // namespace draw
}  // namespace zep
