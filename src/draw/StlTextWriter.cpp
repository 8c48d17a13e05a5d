// The ASCII STL text writer: facet text built in a block buffer, vertex lines cached per node.
#include "draw/StlTextWriter.h"

#include <cstring>
#include <new>

#include "draw/FloatFormat.h"
#include "platform/Platform.h"

namespace zep {
namespace draw {
namespace {

// The file receives the text in blocks of this size: large enough that the system calls cost little,
// small enough to stay in the processor's cache while it is filled.
constexpr std::size_t kBlockSize = std::size_t{1} << 20;

// Nodes whose vertex lines are kept: a mesh's faces usually come in an order in which the faces around
// a node are near each other, so a few thousand lines catch most repeated nodes.
constexpr std::size_t kMaxCachedLines = std::size_t{1} << 14;

// Marks a cache slot whose node was seen but whose line was not kept (node numbers stay below 2^31).
constexpr uint32_t kLineMissing = uint32_t{1} << 31;

// Lines are kept, or not, for the next this many vertices by the share of repeated nodes among the
// last as many: keeping a line costs a copy of freshly written bytes, about as much as formatting one
// number, and a repeat saves three numbers, so keeping pays from about one repeat in four.
constexpr uint32_t kCacheWindow = 4096;
constexpr uint32_t kMinRepeatsToKeep = kCacheWindow / 4;

constexpr char kSolid[] = "solid\n";
constexpr char kFacetHead[] = "  facet normal  0 0 0\n    outer loop\n";
constexpr char kVertex[] = "      vertex  ";
constexpr char kFacetTail[] = "    endloop\n  endfacet\n";
constexpr std::size_t kFacetHeadLength = sizeof(kFacetHead) - 1;
constexpr std::size_t kVertexLength = sizeof(kVertex) - 1;
constexpr std::size_t kFacetTailLength = sizeof(kFacetTail) - 1;

// The bytes a vertex line may touch: the prefix, two numbers and their spaces, and the room that the
// last number's fixed-size stores may reach (its line end falls inside that room).
constexpr std::size_t kVertexRoom = kVertexLength + 2 * (12 + 1) + kMaxFloatText;

// The bytes a facet may touch.
constexpr std::size_t kFacetRoom = kFacetHeadLength + 3 * kVertexRoom + kFacetTailLength;

}  // namespace

StlTextWriter::StlTextWriter(const float* x, const float* y, const float* z, int nodeCount)
    : x_(x), y_(y), z_(z) {
    static_assert(sizeof(CachedLine::text) >= kVertexRoom, "a cached line holds all a vertex line touches");
    block_.reset(new (std::nothrow) char[kBlockSize]);
    buffer_ = block_ ? block_.get() : fallback_;
    capacity_ = block_ ? kBlockSize : sizeof(fallback_);
    std::size_t lines = 1;
    while (lines < kMaxCachedLines && static_cast<long long>(lines) <= static_cast<long long>(nodeCount)) {
        lines <<= 1;
    }
    if (nodeCount > 0) {
        cacheNodes_.reset(new (std::nothrow) uint32_t[lines]());  // node 0 everywhere: empty
        cacheLines_.reset(new (std::nothrow) CachedLine[lines]);
        if (cacheNodes_ && cacheLines_) {
            cacheMask_ = lines - 1;
        } else {
            cacheNodes_.reset();
            cacheLines_.reset();
        }
    }
}

StlTextWriter::~StlTextWriter() { Close(); }

bool StlTextWriter::Open(const char* path) {
    Close();
    file_ = zep::platform::OpenStdioPlain(path, "w");
    return file_ != nullptr;
}

void StlTextWriter::WriteSolid() {
    if (file_ == nullptr) return;
    if (capacity_ - used_ < sizeof(kSolid)) Flush();
    std::memcpy(buffer_ + used_, kSolid, sizeof(kSolid) - 1);
    used_ += sizeof(kSolid) - 1;
}

char* StlTextWriter::AppendVertex(char* p, int node) {
    uint32_t* seen = nullptr;
    if (cacheNodes_) {
        const uint32_t key = static_cast<uint32_t>(node);
        const std::size_t slot = key & cacheMask_;
        seen = &cacheNodes_[slot];
        if (*seen == key) {
            const CachedLine& line = cacheLines_[slot];
            std::memcpy(p, line.text, kVertexRoom);
            ++repeats_;
            if (++lookups_ == kCacheWindow) EndCacheWindow();
            return p + line.length;
        }
        if ((*seen & ~kLineMissing) == key) ++repeats_;
        if (++lookups_ == kCacheWindow) EndCacheWindow();
    }
    char* start = p;
    std::memcpy(p, kVertex, kVertexLength);
    p += kVertexLength;
    p = FormatFloat(x_[node], p);
    *p++ = ' ';
    p = FormatFloat(y_[node], p);
    *p++ = ' ';
    p = FormatFloat(z_[node], p);
    *p++ = '\n';
    if (seen != nullptr) {
        const uint32_t key = static_cast<uint32_t>(node);
        if (keepLines_) {
            CachedLine& line = cacheLines_[key & cacheMask_];
            line.length = static_cast<uint8_t>(p - start);
            std::memcpy(line.text, start, kVertexRoom);
            *seen = key;
        } else {
            *seen = key | kLineMissing;
        }
    }
    return p;
}

void StlTextWriter::EndCacheWindow() {
    keepLines_ = repeats_ >= kMinRepeatsToKeep;
    lookups_ = 0;
    repeats_ = 0;
}

void StlTextWriter::WriteFacet(int a, int b, int c) {
    if (file_ == nullptr) return;
    if (capacity_ - used_ < kFacetRoom) Flush();
    char* p = buffer_ + used_;
    std::memcpy(p, kFacetHead, kFacetHeadLength);
    p += kFacetHeadLength;
    p = AppendVertex(p, a);
    p = AppendVertex(p, b);
    p = AppendVertex(p, c);
    std::memcpy(p, kFacetTail, kFacetTailLength);
    p += kFacetTailLength;
    used_ = static_cast<std::size_t>(p - buffer_);
}

void StlTextWriter::Flush() {
    if (file_ != nullptr && used_ > 0) std::fwrite(buffer_, 1, used_, file_);
    used_ = 0;
}

void StlTextWriter::Close() {
    if (file_ == nullptr) return;
    Flush();
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace draw
}  // namespace zep
