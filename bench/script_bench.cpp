// Benchmark: reading script files of 1,000, 10,000 and 100,000 key lines (in one section, and spread
// over as many sections), and value lookups in the store that results.
#include <benchmark/benchmark.h>

#include <string>

#include "TestUtil.h"
#include "toolkit/ZEP3DScript.h"

namespace {

// `keys` key lines under `sections` section headers (keys spread evenly), CR LF line ends.
std::string ScriptFile(int keys, int sections) {
    std::string text = "; generated\r\n";
    const int perSection = keys / sections;
    for (int s = 0; s < sections; ++s) {
        text += "[Section" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < perSection; ++k) {
            text += "Key" + std::to_string(s * perSection + k) + "=value of some length\r\n";
        }
    }
    return text;
}

void ReadFile(benchmark::State& state, int sections) {
    const int keys = static_cast<int>(state.range(0));
    zep::testing::ScopedTempDir dir;
    const std::string path = dir.File("script.ini");
    const std::string text = ScriptFile(keys, sections);
    zep::testing::WriteFile(path, text);
    for (auto _ : state) {
        ZEP3DToolKit::CZEP3DScript store;
        int status = -1;
        if (!store.ReadINIFile(path.c_str(), &status)) state.SkipWithError("the file was not read");
        benchmark::DoNotOptimize(status);
    }
    state.SetItemsProcessed(state.iterations() * keys);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_ReadKeysInOneSection(benchmark::State& state) { ReadFile(state, 1); }
BENCHMARK(BM_ReadKeysInOneSection)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ReadOneKeyPerSection(benchmark::State& state) { ReadFile(state, static_cast<int>(state.range(0))); }
BENCHMARK(BM_ReadOneKeyPerSection)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_LookupInOneSection(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    zep::testing::ScopedTempDir dir;
    const std::string path = dir.File("script.ini");
    zep::testing::WriteFile(path, ScriptFile(keys, 1));
    ZEP3DToolKit::CZEP3DScript store;
    int status = -1;
    store.ReadINIFile(path.c_str(), &status);
    // Names in another case than stored, as the account reader's lookups are.
    std::string names[16];
    for (int i = 0; i < 16; ++i) names[i] = "KEY" + std::to_string((i * 7919) % keys);
    int i = 0;
    for (auto _ : state) {
        const char* value = store.GetSectionContext("SECTION0", names[i++ & 15].c_str(), nullptr);
        if (value == nullptr) state.SkipWithError("a key was not found");
        benchmark::DoNotOptimize(value);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LookupInOneSection)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kNanosecond);

}  // namespace

BENCHMARK_MAIN();
