#include "zep3d/ZEPDrawVectorTool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "TestUtil.h"
#include "draw/DrawMemory.h"

namespace {

using zep::testing::AsTextFile;
using zep::testing::ReadFile;
using zep::testing::ScopedTempDir;

std::string Facet(const std::string& a, const std::string& b, const std::string& c) {
    return "  facet normal  0 0 0\n    outer loop\n      vertex  " + a + "\n      vertex  " + b +
           "\n      vertex  " + c + "\n    endloop\n  endfacet\n";
}

// The file of "solid" and the given facets.
std::string Stl(const std::string& facets) { return AsTextFile("solid\n" + facets); }

std::string Written(CZEPDrawVectorTool& tool, const ScopedTempDir& dir) {
    std::string path = dir.File("arrows.stl");
    tool.OutputFile_STL(path.c_str());
    return ReadFile(path);
}

// Three arrays as the caller hands them over: allocated with new[], node i at (i, 0, 0).
struct HandedArrays {
    float *x, *y, *z;
    explicit HandedArrays(int nNode)
        : x(new float[nNode + 1]()), y(new float[nNode + 1]()), z(new float[nNode + 1]()) {
        for (int i = 0; i <= nNode; ++i) x[i] = static_cast<float>(i);
    }
};

// Opens the protected geometry to the tests.
class GeometryProbe : public CZEPDrawVectorTool {
  public:
    using CZEPDrawVectorTool::GetDirectionVector;
    using CZEPDrawVectorTool::GetVector_TrianglePoint;
    using CZEPDrawVectorTool::SetSTLTool_Node;
};

struct AllocationLimit {
    explicit AllocationLimit(std::size_t bytes) { zep::draw::SetAllocationLimitForTesting(bytes); }
    ~AllocationLimit() { zep::draw::SetAllocationLimitForTesting(0); }
};

TEST(ZEPDrawVectorTool, WritesTheArrowsWithTheirBaseByTheTieRulesAndTheRatio) {
    ScopedTempDir dir;
    CZEPDrawVectorTool tool;
    EXPECT_EQ(Written(tool, dir), Stl(""));
    EXPECT_TRUE(tool.SetLine10(0, 0, 0, 1, 0, 0));
    EXPECT_EQ(Written(tool, dir), Stl(Facet("0 0 0", "1 0 0", "0 -0.05 0")));
    // Every call builds the arrows anew: a second call writes the same file, not the arrows twice.
    EXPECT_EQ(Written(tool, dir), Stl(Facet("0 0 0", "1 0 0", "0 -0.05 0")));

    tool = CZEPDrawVectorTool();
    EXPECT_TRUE(tool.SetLine10(0, 0, 0, 0, 0, 2));  // along z: base along +x
    EXPECT_TRUE(tool.SetLine10(0, 0, 0, 0, 3, 0));  // along y: base along +x
    EXPECT_TRUE(tool.SetLine10(5, 5, 5, 1, 5, 5));  // along -x: base along +y
    // Coordinate lines own points 2k - 1 and 2k; index lines may join any of them.
    EXPECT_TRUE(tool.SetLine10(1, 4));
    EXPECT_FALSE(tool.SetLine10(1, 7));
    EXPECT_FALSE(tool.SetLine10(0, 2));
    std::string arrows = Facet("0 0 0", "0 0 2", "0.1 0 0") + Facet("0 0 0", "0 3 0", "0.15 0 0") +
                         Facet("5 5 5", "1 5 5", "5 5.2 5") + Facet("0 0 0", "0 3 0", "0.15 0 0");
    EXPECT_EQ(Written(tool, dir), Stl(arrows));

    tool.SetBaseLengthRatio(0.2f);  // a base of a fifth of the length
    tool.SetBaseLengthRatio(-1.0f);
    tool.SetBaseLengthRatio(0.0f);
    tool.SetBaseLengthRatio(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(Written(tool, dir),
              Stl(Facet("0 0 0", "0 0 2", "0.4 0 0") + Facet("0 0 0", "0 3 0", "0.6 0 0") +
                  Facet("5 5 5", "1 5 5", "5 5.8 5") + Facet("0 0 0", "0 3 0", "0.6 0 0")));

    GeometryProbe probe;
    const float h = 1.0f / std::sqrt(2.0f), f = 1.0f / std::sqrt(5.0f);
    const struct {
        float dx, dy, dz, x, y, z;
    } directions[] = {
        {1, 1, 0, h, -h, 0},      // |dx| = |dy|: the (dy, -dx, 0) choice
        {0, 1, 1, 0, h, -h},      // the smallest is x: (0, dz, -dy)
        {1, 0, 1, h, 0, -h},      // the smallest is y: (dz, 0, -dx)
        {2, 1, 1, f, -2 * f, 0},  // |dz| = |dy|: (dy, -dx, 0)
    };
    for (const auto& d : directions) {
        float x, y, z;
        probe.GetDirectionVector(d.dx, d.dy, d.dz, x, y, z);
        EXPECT_FLOAT_EQ(x, d.x) << d.dx << " " << d.dy << " " << d.dz;
        EXPECT_FLOAT_EQ(y, d.y) << d.dx << " " << d.dy << " " << d.dz;
        EXPECT_FLOAT_EQ(z, d.z) << d.dx << " " << d.dy << " " << d.dz;
    }

    // A line without length gives NaN, written with the sign the computation gave it.
    float x = 0, y = 0, z = 0;
    probe.GetVector_TrianglePoint(1, 2, 3, 1, 2, 3, x, y, z);
    ASSERT_TRUE(std::isnan(x) && std::isnan(y) && std::isnan(z));
    auto text = [](float v) { return std::string(std::signbit(v) ? "-nan" : "nan"); };
    std::string corner = text(x) + " " + text(y) + " " + text(z);

    EXPECT_TRUE(probe.SetLine10(1, 2, 3, 1, 2, 3));
    EXPECT_EQ(Written(probe, dir), Stl(Facet("1 2 3", "1 2 3", corner)));
}

TEST(ZEPDrawVectorTool, TakesOverTheCallersArraysAndChecksIndices) {
    ScopedTempDir dir;
    CZEPDrawVectorTool tool;
    EXPECT_TRUE(tool.SetLine10(0, 0, 0, 1, 0, 0));  // a coordinate line, later read from the arrays
    HandedArrays first(4);
    EXPECT_TRUE(tool.SetNode(first.x, first.y, first.z, 4));
    EXPECT_FALSE(tool.SetLine10(1, 5));
    EXPECT_FALSE(tool.SetLine10(0, 2));
    EXPECT_TRUE(tool.SetLine10(1, 4));
    EXPECT_FALSE(tool.SetLine10(0, 0, 0, 1, 1, 1));  // no coordinate lines beside the caller's arrays
    EXPECT_EQ(Written(tool, dir),
              Stl(Facet("1 0 0", "2 0 0", "1 -0.05 0") + Facet("1 0 0", "4 0 0", "1 -0.15 0")));

    // Handing over the same arrays again keeps them; new arrays replace (and release) the old ones. A
    // smaller count leaves out the lines that reach past it.
    EXPECT_TRUE(tool.SetNode(first.x, first.y, first.z, 4));
    HandedArrays second(3);
    second.x[2] = 7;
    EXPECT_TRUE(tool.SetNode(second.x, second.y, second.z, 3));
    EXPECT_EQ(Written(tool, dir), Stl(Facet("1 0 0", "7 0 0", "1 -0.3 0")));

    // The same array given for two coordinates is released once.
    float* shared = new float[3]{0, 1, 2};
    float* zs = new float[3]{0, 0, 0};
    EXPECT_TRUE(tool.SetNode(shared, shared, zs, 2));
    EXPECT_EQ(Written(tool, dir), Stl(Facet("1 1 0", "2 2 0", "1.05 0.95 0")));

    // With null arrays every line is left out.
    float* none = nullptr;
    EXPECT_TRUE(tool.SetNode(none, none, none, 2));
    EXPECT_EQ(Written(tool, dir), Stl(""));

    GeometryProbe probe;
    float x = 9, y = 9, z = 9;
    probe.GetVector_TrianglePoint(1, 2, x, y, z);  // no nodes at all: left unchanged
    EXPECT_EQ(x, 9.0f);
    CZEPDrawSTLTool stl;
    stl.SetNNode(1);
    probe.SetSTLTool_Node(stl, 1, 3);  // no node 3: nothing set
    probe.SetSTLTool_Node(stl, 1, 1.5f, 2.5f, 3.5f);
    int face[5] = {0, 1, 1, 1, 0};
    stl.SetFace20(3, face);
    std::string path = dir.File("stl.stl");
    stl.OutputFile(path.c_str());
    EXPECT_EQ(ReadFile(path), Stl(Facet("1.5 2.5 3.5", "1.5 2.5 3.5", "1.5 2.5 3.5")));
}

TEST(ZEPDrawVectorTool, WritesTheTwoTraceLinesWhenSwitchedOn) {
    ScopedTempDir dir;
    CZEPDrawVectorTool tool;
    // What `body` writes to standard output, then the file written.
    auto traced = [&](const std::function<void()>& body) {
        zep::testing::StdoutCapture out;
        body();
        Written(tool, dir);
        return out.Stop();
    };
    EXPECT_EQ(traced([&] { tool.SetLine10(0, 0, 0, 1, 0, 0); }), "");
    tool.SetTrace(1);
    EXPECT_EQ(traced([&] { tool.SetLine10(0, 0, 0, 0, 1, 0), tool.SetLine10(1, 4); }),
              "SetLine10(x,y,z, x,y,z)\nOutputFile_STL() nTotalLine=3\n");
    HandedArrays arrays(2);
    tool.SetNode(arrays.x, arrays.y, arrays.z, 2);
    EXPECT_EQ(traced([&] {
                  EXPECT_FALSE(tool.SetLine10(0, 0, 0, 0, 1, 0));  // refused before any trace
                  tool.SetTrace(0);
              }),
              "");
}

TEST(ZEPDrawVectorTool, CopiesOwnTheirArraysAndWriteTheSameFile) {
    ScopedTempDir dir;
    auto* source = new CZEPDrawVectorTool;
    HandedArrays arrays(3);
    source->SetNode(arrays.x, arrays.y, arrays.z, 3);
    source->SetLine10(1, 3);
    source->SetLine10(3, 2);
    source->SetBaseLengthRatio(0.5f);
    const std::string expected = Written(*source, dir);
    ASSERT_EQ(expected, Stl(Facet("1 0 0", "3 0 0", "1 -1 0") + Facet("3 0 0", "2 0 0", "3 0.5 0")));

    CZEPDrawVectorTool copy(*source);
    CZEPDrawVectorTool assigned;
    assigned.SetLine10(0, 0, 0, 1, 1, 1);
    assigned = *source;
    assigned = assigned;
    arrays.x[3] = 100;  // the source's arrays; the copies hold their own
    delete source;
    EXPECT_EQ(Written(copy, dir), expected);
    EXPECT_EQ(Written(assigned, dir), expected);

    CZEPDrawVectorTool points;
    points.SetLine10(0, 0, 0, 1, 0, 0);
    CZEPDrawVectorTool pointsCopy(points);
    points.SetLine10(0, 0, 0, 0, 1, 0);
    EXPECT_EQ(Written(pointsCopy, dir), Stl(Facet("0 0 0", "1 0 0", "0 -0.05 0")));

    // Without memory for a copy: the new tool is empty and an assigned one keeps what it had.
    {
        AllocationLimit limit(4);
        CZEPDrawVectorTool failed(copy);
        EXPECT_EQ(Written(failed, dir), Stl(""));
        pointsCopy = copy;
    }
    EXPECT_EQ(Written(pointsCopy, dir), Stl(Facet("0 0 0", "1 0 0", "0 -0.05 0")));
}

TEST(ZEPDrawVectorTool, KeepsTheOldFileWhenTheArrowsCannotBeAllocatedAndSaysSo) {
    ScopedTempDir dir;
    CZEPDrawVectorTool tool;
    for (int i = 0; i < 1000; ++i) tool.SetLine10(0, 0, 0, static_cast<float>(i), 1, 0);
    std::string path = dir.File("arrows.stl");
    zep::testing::WriteFile(path, "an older file");
    {
        zep::testing::DebugOutputCapture messages;
        AllocationLimit limit(1000);  // three arrays of 3001 floats do not fit
        tool.OutputFile_STL(path.c_str());
        EXPECT_EQ(messages.Messages(),
                  std::vector<std::string>{"CZEPDrawVectorTool::OutputFile_STL()-Out of memory!"});
    }
    EXPECT_EQ(ReadFile(path), "an older file");
    tool.OutputFile_STL(path.c_str());
    EXPECT_EQ(ReadFile(path).substr(0, 6), Stl("").substr(0, 6));

    tool.OutputFile_STL(nullptr);
    std::string unopenable = dir.File("missing/arrows.stl");
    tool.OutputFile_STL(unopenable.c_str());
    EXPECT_FALSE(zep::testing::FileExists(unopenable));
}

}  // namespace
