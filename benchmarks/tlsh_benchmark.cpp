// TLSH throughput: a random buffer in one update(), then final() and the text.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "tlsh/tlsh.h"

namespace {

std::vector<std::uint8_t> RandomBuffer(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    std::mt19937_64 random(42);
    for (std::size_t at = 0; at < size; at += 8) {
        const std::uint64_t word = random();
        std::memcpy(data.data() + at, &word, std::min<std::size_t>(8, size - at));
    }
    return data;
}

void TlshHash(benchmark::State& state) {
    const std::vector<std::uint8_t> data = RandomBuffer(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        Tlsh::Hash hash;
        hash.update(data.data(), data.size());
        hash.final();
        benchmark::DoNotOptimize(hash.getHash(1));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(TlshHash)->Arg(1 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
