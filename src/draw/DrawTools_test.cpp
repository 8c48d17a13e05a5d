#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "AllocationFailure.h"
#include "TestUtil.h"
#include "draw/DrawMemory.h"
#include "zep3d/ZEPDrawSTLTool.h"
#include "zep3d/ZEPDrawVectorTool.h"

namespace {

using zep::testing::AsTextFile;
using zep::testing::ReadFile;
using zep::testing::ScopedTempDir;

std::string Facet(const std::string& a, const std::string& b, const std::string& c) {
    return "  facet normal  0 0 0\n    outer loop\n      vertex  " + a + "\n      vertex  " + b +
           "\n      vertex  " + c + "\n    endloop\n  endfacet\n";
}

std::string Stl(const std::string& facets) { return AsTextFile("solid\n" + facets); }

// A tool with node i at (i, 10 i, 100 i) for i = 1 to n, so that a vertex line names its node.
void NumberedNodes(CZEPDrawSTLTool& tool, int n) {
    tool.SetNNode(n);
    for (int i = 1; i <= n; ++i) {
        tool.SetNode(i, static_cast<float>(i), static_cast<float>(10 * i), static_cast<float>(100 * i));
    }
}

std::string V(int i) {
    return std::to_string(i) + " " + std::to_string(10 * i) + " " + std::to_string(100 * i);
}

// The file of the facets over numbered nodes, e.g. Mesh({{1, 2, 3}}).
std::string Mesh(const std::vector<std::vector<int>>& facets) {
    std::string text;
    for (const std::vector<int>& f : facets) text += Facet(V(f[0]), V(f[1]), V(f[2]));
    return Stl(text);
}

std::string Written(CZEPDrawSTLTool& tool, const ScopedTempDir& dir, const std::string& name = "out.stl") {
    std::string path = dir.File(name);
    tool.OutputFile(path.c_str());
    return ReadFile(path);
}

// Sets face `iFace`, or appends a face when `iFace` is -1. Position 0 of the nodes is never read.
bool SetAt(CZEPDrawSTLTool& tool, int iFace, int nNode, int a, int b, int c, int d) {
    int nodes[5] = {-77, a, b, c, d};
    return iFace == -1 ? tool.SetFace20(nNode, nodes) : tool.SetFace20(iFace, nNode, nodes);
}
bool Append(CZEPDrawSTLTool& tool, int nNode, int a, int b, int c, int d) {
    return SetAt(tool, -1, nNode, a, b, c, d);
}

// SetNode with standard output captured: whether it stored the node, and what it wrote.
using Said = std::pair<bool, std::string>;
Said SetNodeSaying(CZEPDrawSTLTool& tool, int iNode, float x, float y, float z) {
    zep::testing::StdoutCapture out;
    const bool stored = tool.SetNode(iNode, x, y, z);
    return {stored, out.Stop()};
}
const char kNoCount[] = "Error! SetNode(). You have to set node dimension first by SetNNode(int NNode)\n";

struct AllocationLimit {
    explicit AllocationLimit(std::size_t bytes) { zep::draw::SetAllocationLimitForTesting(bytes); }
    ~AllocationLimit() { zep::draw::SetAllocationLimitForTesting(0); }
};

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

class GeometryProbe : public CZEPDrawVectorTool {
  public:
    using CZEPDrawVectorTool::GetDirectionVector;
    using CZEPDrawVectorTool::GetVector_TrianglePoint;
    using CZEPDrawVectorTool::SetSTLTool_Node;
};

TEST(ZEPDrawSTLTool, WritesTheDesignedFileByTheNodeCountRuleAndSplitsQuadrilaterals) {
    ScopedTempDir dir;
    CZEPDrawSTLTool triangle;
    EXPECT_EQ(Written(triangle, dir), Stl(""));
    triangle.SetNNode(3);
    EXPECT_TRUE(triangle.SetNode(2, 1, 0, 0) && triangle.SetNode(3, 0, 1, 0));
    EXPECT_TRUE(Append(triangle, 3, 1, 2, 3, 0));
    EXPECT_EQ(Written(triangle, dir), Stl(Facet("0 0 0", "1 0 0", "0 1 0")));

    CZEPDrawSTLTool tool;
    NumberedNodes(tool, 9);
    EXPECT_TRUE(Append(tool, 4, 1, 2, 3, 4));   // two facets: (1, 2, 3) then (3, 4, 1)
    EXPECT_TRUE(Append(tool, 4, 5, 6, 7, 7));   // fourth equals third: a triangle
    EXPECT_TRUE(Append(tool, 0, 1, 5, 9, 0));   // fourth 0: a triangle whatever the count
    EXPECT_TRUE(Append(tool, 2, 2, 6, 8, -3));  // fourth below 0: a triangle
    EXPECT_TRUE(Append(tool, 2, 1, 2, 3, 9));   // count 2 with a fourth node: kept, never written
    EXPECT_TRUE(Append(tool, 8, 9, 8, 7, 6));   // count above 4: the first three nodes only
    EXPECT_FALSE(Append(tool, 3, 1, 0, 3, 0));  // the first three must all be at least 1
    EXPECT_FALSE(Append(tool, 3, -1, 2, 3, 0));
    int* none = nullptr;
    EXPECT_FALSE(tool.SetFace20(3, none));
    EXPECT_EQ(Written(tool, dir), Mesh({{1, 2, 3}, {3, 4, 1}, {5, 6, 7}, {1, 5, 9}, {2, 6, 8}, {9, 8, 7}}));
}

TEST(ZEPDrawSTLTool, IndexedFacesAreWrittenInFaceOrderWhenSetAndValidAndMixedFormsStayConsistent) {
    ScopedTempDir dir;
    CZEPDrawSTLTool tool;
    NumberedNodes(tool, 6);
    tool.SetNFace(4);
    EXPECT_TRUE(SetAt(tool, 3, 3, 4, 5, 6, 0));
    EXPECT_TRUE(SetAt(tool, 1, 4, 1, 2, 3, 4));
    EXPECT_FALSE(SetAt(tool, 2, 3, 1, 0, 2, 0));  // invalid nodes: not marked
    EXPECT_FALSE(SetAt(tool, 0, 3, 1, 2, 3, 0));  // outside 1 to 4: nothing changes
    EXPECT_FALSE(SetAt(tool, 5, 3, 1, 2, 3, 0));
    // Face 4 never set. A face set validly, then again with invalid nodes, keeps its mark but holds
    // nodes outside the arrays, so it is not written.
    EXPECT_TRUE(SetAt(tool, 4, 3, 1, 2, 3, 0));
    EXPECT_FALSE(SetAt(tool, 4, 3, 0, 2, 3, 0));
    EXPECT_EQ(Written(tool, dir), Mesh({{1, 2, 3}, {3, 4, 1}, {4, 5, 6}}));

    tool.SetNFace(4);  // again: keeps the records but drops every mark
    EXPECT_EQ(Written(tool, dir), Stl(""));
    EXPECT_TRUE(SetAt(tool, 3, 3, 4, 5, 6, 0));
    EXPECT_EQ(Written(tool, dir), Mesh({{4, 5, 6}}));

    NumberedNodes(tool, 9);
    tool.SetNFace(2);
    EXPECT_TRUE(SetAt(tool, 1, 3, 7, 8, 9, 0));
    // The first appended face discards the indexed ones; from then on every stored face is written.
    EXPECT_TRUE(Append(tool, 3, 1, 2, 3, 0));
    EXPECT_TRUE(Append(tool, 3, 4, 5, 6, 0));
    EXPECT_EQ(Written(tool, dir), Mesh({{1, 2, 3}, {4, 5, 6}}));

    // After OutputFile the indexed form addresses the appended faces.
    EXPECT_TRUE(SetAt(tool, 2, 3, 6, 5, 4, 0));
    EXPECT_FALSE(SetAt(tool, 3, 3, 6, 5, 4, 0));
    EXPECT_EQ(Written(tool, dir), Mesh({{1, 2, 3}, {6, 5, 4}}));

    // SetNFace after appending sizes the list to its count with fresh marks; faces appended after it
    // lie beyond those marks and are written, the unmarked ones before them are not.
    tool.SetNFace(3);
    EXPECT_TRUE(SetAt(tool, 3, 3, 7, 8, 9, 0));
    EXPECT_TRUE(Append(tool, 3, 9, 8, 7, 0));
    EXPECT_TRUE(Append(tool, 3, 3, 2, 1, 0));
    EXPECT_EQ(Written(tool, dir), Mesh({{7, 8, 9}, {9, 8, 7}, {3, 2, 1}}));
    EXPECT_FALSE(SetAt(tool, 0, 3, 1, 2, 3, 0));
    EXPECT_TRUE(SetAt(tool, 5, 3, 1, 2, 3, 0));  // the face count now covers the appended faces
    EXPECT_FALSE(SetAt(tool, 6, 3, 1, 2, 3, 0));
}

TEST(ZEPDrawSTLTool, NodesAreStoredOnlyInsideTheCountAndFacesOutsideItAreSkipped) {
    ScopedTempDir dir;
    CZEPDrawSTLTool tool;
    EXPECT_EQ(SetNodeSaying(tool, 1, 1, 2, 3), Said(false, kNoCount));  // no arrays at all
    NumberedNodes(tool, 4);
    EXPECT_EQ(SetNodeSaying(tool, 0, 1, 2, 3), Said(false, ""));
    EXPECT_EQ(SetNodeSaying(tool, 5, 1, 2, 3), Said(false, ""));
    EXPECT_EQ(SetNodeSaying(tool, 4, 4, 40, 400), Said(true, ""));
    EXPECT_TRUE(Append(tool, 3, 1, 2, 5, 0));  // node 5 lies outside the arrays
    EXPECT_TRUE(Append(tool, 4, 1, 2, 3, 5));  // so does the fourth node of this quadrilateral
    EXPECT_TRUE(Append(tool, 3, 1, 2, INT_MAX, 0));
    EXPECT_TRUE(Append(tool, 4, 1, 2, 3, 4));
    EXPECT_EQ(Written(tool, dir), Mesh({{1, 2, 3}, {3, 4, 1}}));

    // With no node arrays, nothing can be read: every face is skipped.
    CZEPDrawSTLTool noNodes;
    EXPECT_TRUE(Append(noNodes, 3, 1, 2, 3, 0));
    EXPECT_EQ(Written(noNodes, dir), Stl(""));
}

TEST(ZEPDrawSTLTool, UsesTheCallersArraysWithoutEverReleasingThem) {
    ScopedTempDir dir;
    std::vector<float> xs = {0, 1, 2, 3}, ys = {0, 10, 20, 30}, zs = {0, 100, 200, 300};
    float *x = xs.data(), *y = ys.data(), *z = zs.data();
    std::string expected = Mesh({{1, 2, 3}});
    {
        CZEPDrawSTLTool tool;
        tool.SetNNode(3);  // the count for the caller's arrays; these owned arrays are released below
        EXPECT_TRUE(tool.SetNode(x, y, z));
        EXPECT_EQ(x, xs.data());
        EXPECT_TRUE(Append(tool, 3, 1, 2, 3, 0));
        EXPECT_EQ(Written(tool, dir), expected);
        // Stored in the caller's arrays, after the message.
        EXPECT_EQ(SetNodeSaying(tool, 2, 7, 8, 9), Said(true, kNoCount));
        EXPECT_EQ(ys[2], 8);
        EXPECT_FALSE(SetNodeSaying(tool, 4, 7, 8, 9).first);
        xs[2] = 2;
        ys[2] = 20;
        zs[2] = 200;
        CZEPDrawSTLTool copy(tool);  // shares the caller's arrays and, like its source, never frees them
        EXPECT_EQ(Written(copy, dir), expected);
        // A later SetNNode goes back to arrays of the tool's own and leaves the caller's alone.
        tool.SetNNode(3);
        EXPECT_EQ(Written(tool, dir), Stl(Facet("0 0 0", "0 0 0", "0 0 0")));
    }
    EXPECT_EQ(xs[3], 3);  // still the caller's and alive (the sanitizer build sees any release)

    // Without a count the faces are written as the caller gives them, from node 1 on; a node below 1
    // (face 2 was set validly, then set again with node 0) is never read. A count holds faces to it.
    for (int count : {0, 2}) {
        CZEPDrawSTLTool tool;
        if (count > 0) tool.SetNNode(count);
        tool.SetNode(x, y, z);
        tool.SetNFace(2);
        EXPECT_TRUE(SetAt(tool, 1, 3, 3, 1, 2, 0));
        EXPECT_TRUE(SetAt(tool, 2, 3, 1, 2, 3, 0));
        EXPECT_FALSE(SetAt(tool, 2, 3, 0, 2, 3, 0));
        EXPECT_EQ(Written(tool, dir), Stl(count > 0 ? "" : Facet(V(3), V(1), V(2)))) << count;
    }
}

TEST(ZEPDrawSTLTool, RefusesNegativeAndUnallocatableCountsWithoutChange) {
    ScopedTempDir dir;
    CZEPDrawSTLTool tool;
    NumberedNodes(tool, 4);
    tool.SetNFace(2);
    EXPECT_TRUE(SetAt(tool, 2, 4, 1, 2, 3, 4));
    const std::string before = Written(tool, dir);
    ASSERT_EQ(before, Mesh({{1, 2, 3}, {3, 4, 1}}));

    tool.SetNNode(-1);
    tool.SetNFace(-1);
    tool.SetNFace(INT_MIN);
    EXPECT_EQ(Written(tool, dir), before);
    {
        AllocationLimit limit(1 << 20);
        tool.SetNNode(INT_MAX);
        tool.SetNFace(INT_MAX);
        tool.SetNFace(1 << 20);
        EXPECT_EQ(Written(tool, dir), before);
        EXPECT_TRUE(tool.SetNode(4, 4, 40, 400));
        EXPECT_FALSE(tool.SetNode(5, 4, 40, 400));
        EXPECT_TRUE(SetAt(tool, 1, 3, 2, 3, 4, 0));
        EXPECT_FALSE(SetAt(tool, 3, 3, 2, 3, 4, 0));
    }
    EXPECT_EQ(Written(tool, dir), Mesh({{2, 3, 4}, {1, 2, 3}, {3, 4, 1}}));
}

TEST(ZEPDrawSTLTool, CopiesWriteTheSameFileAndOwnTheirStorage) {
    ScopedTempDir dir;
    auto* source = new CZEPDrawSTLTool;
    NumberedNodes(*source, 5);
    source->SetNFace(3);
    EXPECT_TRUE(SetAt(*source, 2, 4, 1, 2, 3, 4));
    const std::string indexed = Written(*source, dir);

    CZEPDrawSTLTool copy(*source);
    CZEPDrawSTLTool assigned;
    NumberedNodes(assigned, 1);
    assigned = *source;
    assigned = assigned;
    EXPECT_EQ(Written(copy, dir), indexed);
    EXPECT_EQ(Written(assigned, dir), indexed);

    // Changing or destroying the source leaves the copies as they were.
    source->SetNode(1, -1, -1, -1);
    EXPECT_TRUE(SetAt(*source, 1, 3, 3, 4, 5, 0));
    EXPECT_TRUE(Append(*source, 3, 5, 4, 3, 0));
    delete source;
    EXPECT_EQ(Written(copy, dir), indexed);
    EXPECT_EQ(Written(assigned, dir), indexed);

    // A copy of an appending tool keeps appending after the faces it copied.
    CZEPDrawSTLTool appending;
    NumberedNodes(appending, 5);
    EXPECT_TRUE(Append(appending, 3, 1, 2, 3, 0));
    CZEPDrawSTLTool second(appending);
    EXPECT_TRUE(Append(second, 3, 3, 4, 5, 0));
    EXPECT_EQ(Written(second, dir), Mesh({{1, 2, 3}, {3, 4, 5}}));
    EXPECT_EQ(Written(appending, dir), Mesh({{1, 2, 3}}));

    // Without memory for a copy: the new tool is empty and an assigned one keeps what it had.
    {
        AllocationLimit limit(8);
        CZEPDrawSTLTool failed(appending);
        EXPECT_EQ(Written(failed, dir), Stl(""));
        second = appending;
    }
    EXPECT_EQ(Written(second, dir), Mesh({{1, 2, 3}, {3, 4, 5}}));
}

TEST(ZEPDrawSTLTool, ReplacesTheFileWholeAndReportsPathsItCannotWrite) {
    ScopedTempDir dir;
    CZEPDrawSTLTool tool;
    NumberedNodes(tool, 3);
    EXPECT_TRUE(Append(tool, 3, 1, 2, 3, 0));
    const std::string expected = Mesh({{1, 2, 3}});
    std::string path = dir.File("mesh.stl");
    zep::testing::WriteFile(path, std::string(100000, 'x'));
    zep::testing::DebugOutputCapture messages;
    tool.OutputFile(path.c_str());
    EXPECT_EQ(ReadFile(path), expected);
    tool.OutputFile(path.c_str());
    EXPECT_EQ(ReadFile(path), expected);

    // A path built with backslashes is used as the platform maps it.
    std::string built = dir.path() + "\\built.stl";
    tool.OutputFile(built.c_str());
    EXPECT_EQ(ReadFile(zep::platform::MapPath(built.c_str())), expected);
    EXPECT_TRUE(messages.Messages().empty());

    tool.OutputFile(nullptr);
    std::string unopenable = dir.File("no-such-folder/mesh.stl");
    tool.OutputFile(unopenable.c_str());
    EXPECT_FALSE(zep::testing::FileExists(unopenable));
    tool.OutputFile(dir.path().c_str());  // a folder is not replaced by a file
    EXPECT_TRUE(zep::testing::FileExists(dir.path()));
    const std::vector<std::string> reported = messages.Messages();
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[0].rfind("CZEPDrawSTLTool::OutputFile()-Cannot write " + unopenable + ": ", 0), 0u)
        << reported[0];
    EXPECT_EQ(reported[1].rfind("CZEPDrawSTLTool::OutputFile()-Cannot write " + dir.path() + ": ", 0), 0u)
        << reported[1];
    std::vector<std::string> names = zep::testing::FilesStartingWith(dir.path(), "");  // nothing else left
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"built.stl", "mesh.stl"}));
}

TEST(ZEPDrawSTLTool, KeepsTheOldFileWhenMemoryRunsOutAnywhereInWriting) {
    // Each allocation of the writing fails in turn: either the writing does without (a smaller buffer,
    // no worker) and the file is written, or it stops, says so and leaves the old file alone.
    ScopedTempDir dir;
    CZEPDrawSTLTool tool;
    NumberedNodes(tool, 4);
    EXPECT_TRUE(Append(tool, 4, 1, 2, 3, 4));
    const std::string name = "a-name-longer-than-a-short-text.stl";
    const std::string path = dir.File(name);
    int stopped = 0;
    for (long n = 1; n < 1000; ++n) {
        SCOPED_TRACE(n);
        zep::testing::WriteFile(path, "old");
        zep::testing::DebugOutputCapture messages;
        {
            zep::toolkit::testing::FailNthAllocation fail(n);
            tool.OutputFile(path.c_str());
            if (!fail.Failed()) break;
        }
        if (messages.Messages().empty()) {
            EXPECT_EQ(ReadFile(path), Mesh({{1, 2, 3}, {3, 4, 1}}));
        } else {
            ++stopped;
            EXPECT_EQ(messages.Messages(),
                      std::vector<std::string>{"CZEPDrawSTLTool::OutputFile()-Out of memory!"});
            EXPECT_EQ(ReadFile(path), "old");
        }
        EXPECT_EQ(zep::testing::FilesStartingWith(dir.path(), "a-name"), std::vector<std::string>{name});
    }
    EXPECT_GT(stopped, 0);
}

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
        EXPECT_NEAR(std::hypot(x - d.x, y - d.y, z - d.z), 0.0f, 1e-6f) << d.dx << " " << d.dy << " " << d.dz;
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
