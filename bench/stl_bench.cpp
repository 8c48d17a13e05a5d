// Speed of CZEPDrawSTLTool::OutputFile on one million facets, beside a writer that puts every number
// through `std::ofstream <<` and beside one fwrite of the same bytes from memory.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"
#include "zep3d/ZEPDrawSTLTool.h"

namespace {

constexpr int kFacets = 1000000;

// One million triangles with random coordinates in [-1000, 1000] and, now and then, the exact values
// 0, 1, 0.5, 1e-5, 123456789 and NaN. `shared` builds a surface grid (each inner node is a corner of
// six triangles, as in a solver's mesh); otherwise every triangle has three nodes of its own.
struct Mesh {
    std::vector<float> x, y, z;  // element 0 unused
    std::vector<int> faces;      // three node indices per triangle
    int nodes = 0;
};

float RandomCoordinate(std::mt19937& rng) {
    static const float kExact[] = {0.0f,  1.0f,         0.5f,
                                   1e-5f, 123456789.0f, std::numeric_limits<float>::quiet_NaN()};
    std::uniform_real_distribution<float> uniform(-1000.0f, 1000.0f);
    std::uniform_int_distribution<int> pick(0, 99);
    int p = pick(rng);
    if (p < 6) return kExact[p];
    return uniform(rng);
}

Mesh MakeMesh(bool shared) {
    std::mt19937 rng(20240229);
    Mesh mesh;
    if (shared) {
        const int columns = 1000;  // 1000 x 500 squares, two triangles each
        const int rows = kFacets / (2 * columns);
        mesh.nodes = (columns + 1) * (rows + 1);
        auto node = [columns](int r, int c) { return r * (columns + 1) + c + 1; };
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < columns; ++c) {
                int a = node(r, c), b = node(r, c + 1), d = node(r + 1, c), e = node(r + 1, c + 1);
                mesh.faces.insert(mesh.faces.end(), {a, b, e, e, d, a});
            }
        }
    } else {
        mesh.nodes = 3 * kFacets;
        for (int i = 1; i <= mesh.nodes; ++i) mesh.faces.push_back(i);
    }
    mesh.x.resize(static_cast<std::size_t>(mesh.nodes) + 1);
    mesh.y.resize(mesh.x.size());
    mesh.z.resize(mesh.x.size());
    for (std::size_t i = 1; i < mesh.x.size(); ++i) {
        mesh.x[i] = RandomCoordinate(rng);
        mesh.y[i] = RandomCoordinate(rng);
        mesh.z[i] = RandomCoordinate(rng);
    }
    return mesh;
}

const Mesh& GetMesh(bool shared) {
    static const Mesh grid = MakeMesh(true);
    static const Mesh separate = MakeMesh(false);
    return shared ? grid : separate;
}

void Fill(CZEPDrawSTLTool& tool, const Mesh& mesh) {
    tool.SetNNode(mesh.nodes);
    for (int i = 1; i <= mesh.nodes; ++i) tool.SetNode(i, mesh.x[i], mesh.y[i], mesh.z[i]);
    for (std::size_t f = 0; f < mesh.faces.size(); f += 3) {
        int nodes[5] = {0, mesh.faces[f], mesh.faces[f + 1], mesh.faces[f + 2], 0};
        tool.SetFace20(3, nodes);
    }
}

// The writer as a stream would do it: every coordinate through operator<<.
void WriteWithStream(const Mesh& mesh, const std::string& path) {
    std::remove(path.c_str());
    std::ofstream out(path);
    out << "solid\n";
    for (std::size_t f = 0; f < mesh.faces.size(); f += 3) {
        out << "  facet normal  0 0 0\n";
        out << "    outer loop\n";
        for (int k = 0; k < 3; ++k) {
            int i = mesh.faces[f + static_cast<std::size_t>(k)];
            out << "      vertex  " << static_cast<double>(mesh.x[i]) << " " << static_cast<double>(mesh.y[i])
                << " " << static_cast<double>(mesh.z[i]) << "\n";
        }
        out << "    endloop\n";
        out << "  endfacet\n";
    }
}

zep::testing::ScopedTempDir& Folder() {
    static zep::testing::ScopedTempDir folder;
    return folder;
}

void BM_OutputFile(benchmark::State& state) {
    const Mesh& mesh = GetMesh(state.range(0) != 0);
    CZEPDrawSTLTool tool;
    Fill(tool, mesh);
    std::string path = Folder().File("tool.stl");
    // A new file each time, as the single fwrite writes one: replacing a file makes ext4 start writing
    // the new one out to the disk at once, and a disk slower than the loop then holds every writer back.
    for (auto _ : state) {
        std::remove(path.c_str());
        tool.OutputFile(path.c_str());
    }
    state.SetItemsProcessed(state.iterations() * kFacets);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(zep::testing::ReadFile(path).size()));
}

void BM_StreamWriter(benchmark::State& state) {
    const Mesh& mesh = GetMesh(state.range(0) != 0);
    std::string path = Folder().File("stream.stl");
    for (auto _ : state) WriteWithStream(mesh, path);
    state.SetItemsProcessed(state.iterations() * kFacets);
}

void BM_SingleFwrite(benchmark::State& state) {
    const Mesh& mesh = GetMesh(state.range(0) != 0);
    std::string reference = Folder().File("reference.stl");
    WriteWithStream(mesh, reference);
    std::string bytes = zep::testing::ReadFile(reference);
    std::string path = Folder().File("fwrite.stl");
    for (auto _ : state) {
        std::remove(path.c_str());
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    state.SetItemsProcessed(state.iterations() * kFacets);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

}  // namespace

// Argument: 1 = grid of shared nodes, 0 = three nodes of its own per triangle. The writer hands its
// blocks to a thread of its own, so the times are wall-clock times and the processor times those of
// the whole process (every thread); repetitions give medians on a machine shared with other work.
BENCHMARK(BM_StreamWriter)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(2.0);
// Both file benchmarks: each kind of mesh, five repetitions, wall clock and the whole process's time.
static void OnFile(benchmark::internal::Benchmark* b) {
    b->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->MinTime(1.0)->Repetitions(5);
    b->ReportAggregatesOnly(true)->UseRealTime()->MeasureProcessCPUTime();
}
BENCHMARK(BM_OutputFile)->Apply(OnFile);
BENCHMARK(BM_SingleFwrite)->Apply(OnFile);

BENCHMARK_MAIN();
