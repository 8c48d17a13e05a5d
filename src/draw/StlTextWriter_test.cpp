#include "draw/StlTextWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "AllocationFailure.h"
#include "TestUtil.h"

namespace zep::draw {
namespace {

using zep::testing::AsTextFile;
using zep::testing::ReadFile;
using zep::testing::ScopedTempDir;

struct Facet {
    int a, b, c;
};

// A coordinate as the reference stream writes it; a NaN as libstdc++ over glibc writes it, since the C
// runtimes differ on its sign.
void Coordinate(std::ostream& out, float value) {
    if (std::isnan(value)) {
        out << (std::signbit(value) ? "-nan" : "nan");
    } else {
        out << static_cast<double>(value);
    }
}

// The text of the file, every coordinate through `<< double`, with the platform's text line ends.
std::string Expected(const std::vector<float>& x, const std::vector<float>& y, const std::vector<float>& z,
                     const std::vector<Facet>& facets) {
    std::ostringstream out;
    out << "solid\n";
    for (const Facet& f : facets) {
        out << "  facet normal  0 0 0\n    outer loop\n";
        for (int i : {f.a, f.b, f.c}) {
            for (int k = 0; k < 3; ++k)
                Coordinate(out << (k == 0 ? "      vertex  " : " "), (k == 0 ? x : k == 1 ? y : z)[i]);
            out << "\n";
        }
        out << "    endloop\n  endfacet\n";
    }
    return AsTextFile(out.str());
}

// The file that `writer` writes of the facets; the writer is made here unless one is given.
std::string Written(const ScopedTempDir& dir, const std::vector<float>& x, const std::vector<float>& y,
                    const std::vector<float>& z, const std::vector<Facet>& facets,
                    StlTextWriter* given = nullptr) {
    const std::string path = dir.File("writer.stl");
    std::optional<StlTextWriter> made;
    if (given == nullptr) made.emplace(x.data(), y.data(), z.data(), static_cast<int>(x.size()) - 1);
    StlTextWriter& writer = given != nullptr ? *given : *made;
    EXPECT_TRUE(writer.Open(path.c_str()));
    writer.WriteSolid();
    for (const Facet& f : facets) writer.WriteFacet(f.a, f.b, f.c);
    EXPECT_EQ(writer.Close(), 0);
    return ReadFile(path);
}

float Coordinate(std::mt19937& rng) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();
    const float kEdgeValues[] = {0.0f,       -0.0f, 1.0f, 1e-5f, 123456789.0f, 999999.5f,
                                 262144.25f, nan,   -nan, -inf,  -tiny};
    const unsigned kind = rng() % 16;
    if (kind == 0) return kEdgeValues[rng() % (sizeof(kEdgeValues) / sizeof(kEdgeValues[0]))];
    if (kind == 1) return static_cast<float>(static_cast<int>(rng() % 2001) - 1000);
    if (kind == 2) {  // any bit pattern: the longest vertex lines, subnormals, NaN payloads
        const uint32_t bits = static_cast<uint32_t>(rng());
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    return std::uniform_real_distribution<float>(-1000.0f, 1000.0f)(rng);
}

// Nodes 1 to n at random coordinates; node 0 is never read.
void RandomNodes(std::mt19937& rng, int n, std::vector<float>& x, std::vector<float>& y,
                 std::vector<float>& z) {
    for (std::vector<float>* axis : {&x, &y, &z}) axis->assign(n + 1, 0.0f);
    for (int i = 1; i <= n; ++i) x[i] = Coordinate(rng), y[i] = Coordinate(rng), z[i] = Coordinate(rng);
}

TEST(StlTextWriter, WritesEveryMixOfSharedAndSeparateNodesAsTheStreamDoes) {
    // Long runs of each kind of mesh let the writer start and stop keeping lines, and later runs come
    // back to nodes it saw in earlier ones (kept, seen but not kept, or pushed out of the cache).
    ScopedTempDir dir;
    std::mt19937 rng(29);
    const int kNodes = 100000;
    const int kRun = 20000;
    std::vector<float> x, y, z;
    RandomNodes(rng, kNodes, x, y, z);
    std::vector<Facet> facets;
    for (int i = 0; i < kRun; ++i) facets.push_back({3 * i + 1, 3 * i + 2, 3 * i + 3});  // nodes of their own
    for (int i = 0; i < kRun; ++i) facets.push_back({60001 + i, 60002 + i, 60003 + i});  // a strip: shared
    for (int i = 0; i < kRun; ++i) facets.push_back({i + 1, i + 3, i + 2});  // a strip over the first run's
    std::uniform_int_distribution<int> anyNode(1, kNodes);
    for (int i = 0; i < kRun; ++i) facets.push_back({anyNode(rng), anyNode(rng), anyNode(rng)});
    // Short runs of both kinds, back and forth.
    for (int run = 0; run < 8; ++run) {
        const int base = anyNode(rng) % (kNodes - 3 * 1500) + 1;
        for (int i = 0; i < 1500; ++i) {
            facets.push_back(run % 2 == 0 ? Facet{base + i, base + i + 1, base + i + 2}
                                          : Facet{base + 3 * i, base + 3 * i + 1, base + 3 * i + 2});
        }
    }
    const std::string expected = Expected(x, y, z, facets);
    const std::string written = Written(dir, x, y, z, facets);
    ASSERT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);
}

TEST(StlTextWriter, WritesRepeatedNodesRightWithACacheOfAFewLinesAndNothingUnlessOpen) {
    // Three nodes share a cache of four lines; the same nodes come back in every order.
    ScopedTempDir dir;
    const std::vector<float> x = {0.0f, 1.5f, -2.25f, 1e-3f};
    const std::vector<float> y = {0.0f, 100.0f, 0.1f, -7.0f};
    const std::vector<float> z = {0.0f, -0.0f, 65536.0f, 3.0e5f};
    std::vector<Facet> facets;
    const Facet kOrders[] = {{1, 2, 3}, {3, 2, 1}, {2, 2, 2}, {1, 3, 1}, {3, 3, 2}};
    for (int i = 0; i < 6000; ++i) facets.push_back(kOrders[i % 5]);
    EXPECT_EQ(Written(dir, x, y, z, facets), Expected(x, y, z, facets));

    const std::vector<float> one = {0.0f, 42.0f};
    const std::vector<Facet> same(3000, Facet{1, 1, 1});
    EXPECT_EQ(Written(dir, one, one, one, same), Expected(one, one, one, same));
    EXPECT_EQ(Written(dir, one, one, one, {}), AsTextFile("solid\n"));

    // Not opened: every call is harmless and nothing is created.
    StlTextWriter closed(one.data(), one.data(), one.data(), 1);
    closed.WriteSolid();
    closed.WriteFacet(1, 1, 1);
    closed.Close();
    EXPECT_FALSE(closed.Open(dir.File("missing/folder.stl").c_str()));
    closed.WriteFacet(1, 1, 1);
    closed.Close();
}

TEST(StlTextWriter, WritesTheSameFileWithoutMemoryForItsBlocksWorkerOrCache) {
    // The n-th allocation of the writer fails: its first block (a small buffer instead), a later one
    // (no worker: the caller's thread writes every block), or its cache (no line is kept).
    ScopedTempDir dir;
    std::mt19937 rng(5);
    const int kNodes = 3000;
    std::vector<float> x, y, z;
    RandomNodes(rng, kNodes, x, y, z);
    std::vector<Facet> facets;  // two strips over every node: shared nodes, more than one block of text
    for (int i = 0; i < 2 * (kNodes - 2); ++i)
        facets.push_back({i % (kNodes - 2) + 1, i % (kNodes - 2) + 2, i % (kNodes - 2) + 3});
    const std::string expected = Expected(x, y, z, facets);
    for (long n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        std::optional<StlTextWriter> writer;
        {
            zep::toolkit::testing::FailNthAllocation fail(n);
            writer.emplace(x.data(), y.data(), z.data(), kNodes);
            EXPECT_TRUE(fail.Failed());
        }
        EXPECT_TRUE(Written(dir, x, y, z, facets, &*writer) == expected);
    }
}

}  // namespace
}  // namespace zep::draw
