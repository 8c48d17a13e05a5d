// Drives the two STL writers with any sequence of calls (counts, indices, both face forms, node sources,
// copies) and writes their files; checks the float text of every four input bytes against to_chars.
#include <algorithm>
#include <string_view>
#include <vector>

#include "FuzzDriver.h"
#include "draw/FloatFormat.h"
#include "zep3d/ZEPDrawSTLTool.h"
#include "zep3d/ZEPDrawVectorTool.h"

namespace {

// Counts the calls give stay below this, so that the caller's arrays below are always long enough.
constexpr int kMaxCount = 63;

void CheckFloatText(const uint8_t* data, size_t size) {
    char fast[zep::draw::kMaxFloatText], reference[zep::draw::kMaxFloatText];
    for (size_t i = 0; i + 4 <= size; i += 4) {
        float value;
        std::memcpy(&value, data + i, sizeof(value));
        const std::string_view text(fast, static_cast<size_t>(zep::draw::FormatFloat(value, fast) - fast));
        const char* referenceEnd = zep::draw::FormatFloatReference(value, reference);
        if (text != std::string_view(reference, static_cast<size_t>(referenceEnd - reference))) std::abort();
    }
}

struct State {
    State(const uint8_t* data, size_t size) : in(data, size) {}
    FuzzBytes in;
    CZEPDrawSTLTool stl;
    CZEPDrawVectorTool vectors;
    const std::string path = FuzzTempFolder() + "/mesh.stl";
    std::vector<float> callerX = std::vector<float>(kMaxCount + 1, 1.0f);
    std::vector<float> callerY = std::vector<float>(kMaxCount + 1, 2.0f);
    std::vector<float> callerZ = std::vector<float>(kMaxCount + 1, 3.0f);
    // What is known of the STL tool's node storage, so that the caller's REQUIRES hold: with the
    // caller's arrays and no node count, every node a face uses must lie in the arrays.
    int nodeCount = 0;  // of the last accepted SetNNode
    bool callerArrays = false;
    int highestFaceNode = 0;  // of every face given so far, stored or not
    int face[5];

    // A count or index, mostly small, sometimes negative or far outside.
    int Index() {
        const uint8_t b = in.Byte();
        if (b == 255) return -1 - in.Byte();
        if (b == 254) return 1 << (in.Byte() % 31);
        return b % (kMaxCount + 2);
    }
    // Five face nodes as given, or, while the caller's arrays are uncounted, kept inside them.
    int* Face() {
        for (int& node : face) {
            node = Index();
            if (callerArrays && nodeCount == 0 && node > kMaxCount) node = kMaxCount;
            highestFaceNode = std::max(highestFaceNode, node);
        }
        return face;
    }
};

using Step = void (*)(State&);
const Step kSteps[] = {
    [](State& s) {
        const int n = std::min(s.Index(), kMaxCount);
        s.stl.SetNNode(n);
        if (n < 0) return;
        s.nodeCount = n;
        s.callerArrays = false;
    },
    [](State& s) {
        const int i = s.Index();
        const float x = s.in.Float(), y = s.in.Float(), z = s.in.Float();
        s.stl.SetNode(i, x, y, z);
    },
    [](State& s) { s.stl.SetNFace(std::min(s.Index(), 4 * kMaxCount)); },
    [](State& s) {
        const int iFace = s.Index(), nNode = s.Index();
        s.stl.SetFace20(iFace, nNode, s.Face());
    },
    [](State& s) {
        const int nNode = s.Index();
        s.stl.SetFace20(nNode, s.Face());
    },
    [](State& s) {
        float* x = s.callerX.data();
        float* y = s.callerY.data();
        float* z = s.callerZ.data();
        // Faces given earlier may reach past the arrays: they are then handed over with a count.
        if (s.nodeCount == 0 && s.highestFaceNode > kMaxCount) s.stl.SetNNode(s.nodeCount = kMaxCount);
        s.stl.SetNode(x, y, z);
        s.callerArrays = true;
    },
    [](State& s) {
        CZEPDrawSTLTool copy(s.stl), other;
        other = copy;
        s.stl = s.in.Byte() % 2 == 0 ? copy : other;
    },
    [](State& s) { s.stl.OutputFile(s.path.c_str()); },
    [](State& s) {
        float v[6];
        for (float& f : v) f = s.in.Float();
        s.vectors.SetLine10(v[0], v[1], v[2], v[3], v[4], v[5]);
    },
    [](State& s) {
        const int a = s.Index(), b = s.Index();
        s.vectors.SetLine10(a, b);
    },
    [](State& s) {
        const int n = std::min(s.Index(), kMaxCount);
        float* x = new float[kMaxCount + 1]();
        float* y = s.in.Byte() % 4 == 0 ? x : new float[kMaxCount + 1]();
        float* z = new float[kMaxCount + 1]();
        s.vectors.SetNode(x, y, z, n);
    },
    [](State& s) { s.vectors.SetBaseLengthRatio(s.in.Float()); },
    [](State& s) {
        CZEPDrawVectorTool copy(s.vectors);
        s.vectors = copy;
    },
    [](State& s) { s.vectors.OutputFile_STL(s.path.c_str()); },
    [](State& s) { s.vectors.SetTrace(0); },
};

}  // namespace

void Fuzz(const uint8_t* data, size_t size) {
    QuietStdout();
    CheckFloatText(data, size);
    State s(data, size);
    for (int steps = 1; !s.in.empty() && steps < 200; ++steps) kSteps[s.in.Byte() % std::size(kSteps)](s);
    s.stl.OutputFile(s.path.c_str());
    s.vectors.OutputFile_STL(s.path.c_str());
    std::remove(s.path.c_str());
}
