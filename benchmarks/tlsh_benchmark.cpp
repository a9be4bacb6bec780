// TLSH throughput, one update() per buffer then final() and the text, next to
// the distribution's library over the same buffers; the run stops at once if
// the two digests of a buffer differ.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tlsh/tlsh.h"

namespace Reference {
std::string TlshDigest(const std::uint8_t* data, std::size_t size);
}

namespace {

enum Kind { kRandom, kText, kCode };

std::vector<std::uint8_t> RandomBytes(std::size_t size) {
    std::vector<std::uint8_t> data(size);
    std::mt19937_64 random(42);
    for (std::size_t at = 0; at < size; at += 8) {
        const std::uint64_t word = random();
        std::memcpy(data.data() + at, &word, std::min<std::size_t>(8, size - at));
    }
    return data;
}

// Lines of words from a small vocabulary, indented, as in source or a log.
std::vector<std::uint8_t> TextBytes(std::size_t size) {
    static const char* const kWords[] = {"the", "value", "return", "if", "for", "int", "of", "error", "=", "const",
                                         "file", "path", "0", "1", "std::string", "(", ")", "{", "}", "process"};
    std::mt19937 random(7);
    std::vector<std::uint8_t> data;
    while (data.size() < size) {
        data.insert(data.end(), random() % 4 * 4, ' ');
        for (unsigned n = 1 + random() % 12; n > 0; --n) {
            const char* word = kWords[random() % std::size(kWords)];
            data.insert(data.end(), word, word + std::strlen(word));
            data.push_back(n > 1 ? ' ' : '\n');
        }
    }
    data.resize(size);
    return data;
}

// Machine-code-like bytes: instructions from a few common opcodes with small
// displacements, zero padding between functions, tables of addresses.
std::vector<std::uint8_t> CodeBytes(std::size_t size) {
    std::mt19937 random(9);
    std::vector<std::uint8_t> data;
    while (data.size() < size) {
        for (unsigned n = 10 + random() % 200; n > 0; --n) {
            static const std::uint8_t kOps[] = {0x8B, 0x89, 0x48, 0xE8, 0x83, 0xFF, 0x0F, 0x85, 0xC3, 0x33, 0x4C};
            data.push_back(kOps[random() % std::size(kOps)]);
            data.push_back(static_cast<std::uint8_t>(0x40 + random() % 0x40));  // register operands
            if (random() % 2) data.push_back(static_cast<std::uint8_t>(random() % 0x80));
            if (random() % 4 == 0) data.insert(data.end(), {static_cast<std::uint8_t>(random()), 0, 0, 0});
        }
        data.insert(data.end(), random() % 32, random() % 3 ? 0x00 : 0xCC);
        if (random() % 8 == 0)
            for (unsigned n = random() % 64; n > 0; --n) {
                const std::uint32_t address = 0x140001000u + random() % 0x80000;
                data.insert(data.end(), {static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(address >> 8),
                                         static_cast<std::uint8_t>(address >> 16), 0x40, 1, 0, 0, 0});
            }
    }
    data.resize(size);
    return data;
}

const std::vector<std::uint8_t>& Buffer(Kind kind, std::size_t size) {
    static std::map<std::pair<Kind, std::size_t>, std::vector<std::uint8_t>> buffers;
    auto& data = buffers[{kind, size}];
    if (data.empty()) data = kind == kRandom ? RandomBytes(size) : kind == kText ? TextBytes(size) : CodeBytes(size);
    return data;
}

std::string Digest(const std::vector<std::uint8_t>& data) {
    Tlsh::Hash hash;
    hash.update(data.data(), data.size());
    hash.final();
    return hash.getHash(0);
}

void Bytes(benchmark::State& state, std::size_t size) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(size));
}

void Ours(benchmark::State& state, Kind kind, Tlsh::Path path) {
    if (!Tlsh::SetPath(path)) return state.SkipWithError("this processor lacks the path");
    const auto& data = Buffer(kind, static_cast<std::size_t>(state.range(0)));
    const std::string digest = Digest(data), reference = Reference::TlshDigest(data.data(), data.size());
    if (digest.empty() || digest != reference) {
        std::fprintf(stderr, "TLSH buffer %d of %zu bytes: digest %s, reference %s\n", kind, data.size(), digest.c_str(),
                     reference.c_str());
        std::abort();
    }
    for (auto _ : state) benchmark::DoNotOptimize(Digest(data));
    Bytes(state, data.size());
}

void Yardstick(benchmark::State& state, Kind kind) {
    const auto& data = Buffer(kind, static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(Reference::TlshDigest(data.data(), data.size()));
    Bytes(state, data.size());
}

template <class Run>
void Register(const std::string& what, Run run, const std::vector<long>& sizes) {
    auto* b = benchmark::RegisterBenchmark(what.c_str(), run)->Unit(benchmark::kMillisecond);
    for (long size : sizes) b->Arg(size);
}

const bool kRegistered = [] {
    for (const auto& [name, kind] : {std::pair{"random", kRandom}, {"text", kText}, {"code", kCode}}) {
        const std::vector<long> sizes = kind == kRandom ? std::vector<long>{1 << 20, 64 << 20} : std::vector<long>{16 << 20};
        Register(std::string("Tlsh/reference/") + name, [kind](benchmark::State& s) { Yardstick(s, kind); }, sizes);
        for (const auto& [path_name, path] : {std::pair{"scalar", Tlsh::Path::kScalar}, {"avx2", Tlsh::Path::kAvx2},
                                               {"avx512vbmi", Tlsh::Path::kAvx512Vbmi}})
            Register(std::string("Tlsh/") + path_name + "/" + name, [kind, path](benchmark::State& s) { Ours(s, kind, path); },
                     sizes);
    }
    return true;
}();

}  // namespace
