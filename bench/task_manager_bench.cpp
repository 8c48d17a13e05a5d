// Benchmark: GetCommand on task-manager files of 1, 100 and 10,000 machines (two tasks each).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "RunFolder.h"
#include "zep3d/ZEPTools.h"

namespace {

std::string TaskManagerFile(int machines) {
    std::string text = zep::testing::TaskBlock(13, 2 * machines);
    std::vector<std::string> entries;
    std::vector<std::string> weights;
    for (int i = 0; i < machines; ++i) {
        entries.push_back("node" + std::to_string(i) + " 2 \\\\server\\Tarvik3D\\");
        weights.push_back("1.5");
    }
    return text + zep::testing::MachineBlock(
                      entries, weights,
                      "ValueShareFolderName=Work\nValueLocalHost=head\n"
                      "ValueParallelWorkingFolder=D:\\Work\nValueSharedTarvik3DName=Tarvik3D\n");
}

void BM_GetCommand(benchmark::State& state) {
    const int machines = static_cast<int>(state.range(0));
    zep::testing::RunFolder run;
    const std::string cmx = TaskManagerFile(machines);
    run.WriteCmx(cmx);
    for (auto _ : state) {
        CZEPTools tools;
        int status = tools.GetCommand(0, "\"C:\\App\\*D:\\Work\\P*\"", "C:\\App\\", run.projectDir().c_str(),
                                      "Part", "solver.exe", "01", 0);
        if (status != 2) state.SkipWithError("the task-manager file was refused");
        benchmark::DoNotOptimize(status);
    }
    state.SetItemsProcessed(state.iterations() * machines);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(cmx.size()));
    state.counters["file_bytes"] = static_cast<double>(cmx.size());
}
BENCHMARK(BM_GetCommand)->Arg(1)->Arg(100)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
