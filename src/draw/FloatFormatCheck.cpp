// float_format_check: compares FormatFloat with std::to_chars on every one of the 2^32 floats.
// Usage: float_format_check [threads]   (prints the first differences, a count, and the time taken)
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "draw/FloatFormat.h"

namespace {

std::atomic<uint64_t> g_differ{0};
std::mutex g_print;

void CheckRange(uint64_t first, uint64_t last) {
    char fast[zep::draw::kMaxFloatText];
    char reference[zep::draw::kMaxFloatText];
    uint64_t differ = 0;
    for (uint64_t bits = first; bits < last; ++bits) {
        uint32_t word = static_cast<uint32_t>(bits);
        float value;
        std::memcpy(&value, &word, sizeof(value));
        char* fastEnd = zep::draw::FormatFloat(value, fast);
        char* referenceEnd = zep::draw::FormatFloatReference(value, reference);
        std::size_t length = static_cast<std::size_t>(fastEnd - fast);
        if (length != static_cast<std::size_t>(referenceEnd - reference) ||
            std::memcmp(fast, reference, length) != 0) {
            if (++differ <= 10) {
                std::lock_guard<std::mutex> lock(g_print);
                std::printf("0x%08x: %.*s, expected %.*s\n", static_cast<unsigned>(word),
                            static_cast<int>(length), fast, static_cast<int>(referenceEnd - reference),
                            reference);
            }
        }
    }
    g_differ += differ;
}

}  // namespace

int main(int argc, char** argv) {
    int threads = argc > 1 ? std::atoi(argv[1]) : 1;
    if (threads < 1 || threads > 64) threads = 1;
    const uint64_t total = uint64_t{1} << 32;
    auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        uint64_t first = total * static_cast<uint64_t>(t) / static_cast<uint64_t>(threads);
        uint64_t last = total * static_cast<uint64_t>(t + 1) / static_cast<uint64_t>(threads);
        workers.emplace_back(CheckRange, first, last);
    }
    for (std::thread& w : workers) w.join();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%llu floats checked with %d thread(s) in %.1f s: %llu differ from std::to_chars\n",
                static_cast<unsigned long long>(total), threads, seconds,
                static_cast<unsigned long long>(g_differ.load()));
    return g_differ.load() == 0 ? 0 : 1;
}
