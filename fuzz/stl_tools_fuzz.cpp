// Drives the two STL writers with any sequence of calls (counts, indices, both face forms, node sources,
// copies) and writes their files; checks the float text of every four input bytes against to_chars.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "FuzzDriver.h"
#include "draw/FloatFormat.h"
#include "zep3d/ZEPDrawSTLTool.h"
#include "zep3d/ZEPDrawVectorTool.h"

namespace {

// Counts the calls give stay below this, so that the caller's arrays below are always long enough.
constexpr int kMaxCount = 63;

// What the harness knows of the STL tool's node storage, so that it keeps the caller's REQUIRES: with the
// caller's arrays and no node count, every node a face uses must lie in the arrays.
struct NodeState {
    int count = 0;  // the count of the last accepted SetNNode
    bool callerArrays = false;
    int highestFaceNode = 0;  // of every face given so far, stored or not

    bool Uncounted() const { return callerArrays && count == 0; }
    // A face node as given, or, while the arrays are uncounted, kept inside them.
    int FaceNode(int node) {
        if (Uncounted() && node > kMaxCount) node = kMaxCount;
        if (node > highestFaceNode) highestFaceNode = node;
        return node;
    }
};

class Input {
  public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // A count or index, mostly small, sometimes negative or far outside.
    int Index() {
        uint8_t b = Byte();
        if (b == 255) return -1 - Byte();
        if (b == 254) return 1 << (Byte() % 31);
        return b % (kMaxCount + 2);
    }
    float Float() {
        uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits = (bits << 8) | Byte();
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

const std::string& TempPath() {
    static const std::string path = FuzzTempFolder() + "/mesh.stl";
    return path;
}

void CheckFloatText(const uint8_t* data, size_t size) {
    for (size_t i = 0; i + 4 <= size; i += 4) {
        float value;
        std::memcpy(&value, data + i, sizeof(value));
        char fast[zep::draw::kMaxFloatText];
        char reference[zep::draw::kMaxFloatText];
        char* fastEnd = zep::draw::FormatFloat(value, fast);
        char* referenceEnd = zep::draw::FormatFloatReference(value, reference);
        if (fastEnd - fast != referenceEnd - reference ||
            std::memcmp(fast, reference, static_cast<size_t>(fastEnd - fast)) != 0) {
            std::abort();
        }
    }
}

}  // namespace

void Fuzz(const uint8_t* data, size_t size) {
    // The tools' messages would flood the log; the fuzz targets run on POSIX only.
    static const bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    CheckFloatText(data, size);
    Input in(data, size);
    std::vector<float> callerX(kMaxCount + 1, 1.0f), callerY(kMaxCount + 1, 2.0f),
        callerZ(kMaxCount + 1, 3.0f);
    CZEPDrawSTLTool stl;
    NodeState nodes;
    CZEPDrawVectorTool vectors;
    const char* path = TempPath().c_str();
    int steps = 0;
    while (!in.empty() && ++steps < 200) {
        switch (in.Byte() % 15) {
            case 0: {
                int n = in.Index();
                if (n > kMaxCount) n = kMaxCount;
                stl.SetNNode(n);
                if (n >= 0) nodes = NodeState{n, false, nodes.highestFaceNode};
                break;
            }
            case 1: {
                int i = in.Index();
                float x = in.Float(), y = in.Float(), z = in.Float();
                stl.SetNode(i, x, y, z);
                break;
            }
            case 2: {
                int n = in.Index();
                stl.SetNFace(n > 4 * kMaxCount ? 4 * kMaxCount : n);
                break;
            }
            case 3: {
                int iFace = in.Index(), nNode = in.Index();
                int face[5];
                for (int& node : face) node = nodes.FaceNode(in.Index());
                stl.SetFace20(iFace, nNode, face);
                break;
            }
            case 4: {
                int nNode = in.Index();
                int face[5];
                for (int& node : face) node = nodes.FaceNode(in.Index());
                stl.SetFace20(nNode, face);
                break;
            }
            case 5: {
                float* x = callerX.data();
                float* y = callerY.data();
                float* z = callerZ.data();
                // Faces given earlier may reach past the arrays: they are then handed over with a count.
                if (nodes.count == 0 && nodes.highestFaceNode > kMaxCount) {
                    stl.SetNNode(kMaxCount);
                    nodes.count = kMaxCount;
                }
                stl.SetNode(x, y, z);
                nodes.callerArrays = true;
                break;
            }
            case 6:
                if (in.Byte() % 2 == 0) {
                    CZEPDrawSTLTool copy(stl);
                    stl = copy;
                } else {
                    CZEPDrawSTLTool other;
                    other = stl;
                    stl = other;
                }
                break;
            case 7:
                stl.OutputFile(path);
                break;
            case 8: {
                float v[6];
                for (float& f : v) f = in.Float();
                vectors.SetLine10(v[0], v[1], v[2], v[3], v[4], v[5]);
                break;
            }
            case 9: {
                int a = in.Index(), b = in.Index();
                vectors.SetLine10(a, b);
                break;
            }
            case 10: {
                int n = in.Index();
                if (n > kMaxCount) n = kMaxCount;
                float* x = new float[kMaxCount + 1]();
                float* y = in.Byte() % 4 == 0 ? x : new float[kMaxCount + 1]();
                float* z = new float[kMaxCount + 1]();
                vectors.SetNode(x, y, z, n);
                break;
            }
            case 11:
                vectors.SetBaseLengthRatio(in.Float());
                break;
            case 12: {
                CZEPDrawVectorTool copy(vectors);
                vectors = copy;
                break;
            }
            case 13:
                vectors.OutputFile_STL(path);
                break;
            default:
                vectors.SetTrace(0);
                break;
        }
    }
    stl.OutputFile(path);
    vectors.OutputFile_STL(path);
    std::remove(path);
}
