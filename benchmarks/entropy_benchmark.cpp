// Throughput of the text entropy computation over sizes and scripts: plain
// ASCII prose, single scripts, every plane, and UTF-8 that mixes every
// sequence length, many scripts and some bad bytes.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "common/utf.h"
#include "orvik/functions/file/entropy_calculation.h"

namespace {

void AppendUtf8(std::string& text, char32_t c) {
    // Only valid scalar values are drawn, so the common converter keeps them as they are.
    std::u16string unit;
    if (c < 0x10000) {
        unit += static_cast<char16_t>(c);
    } else {
        unit += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
        unit += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
    text += Common::Utf16ToUtf8(unit);
}

// Words of lower-case letters with the odd capital, digit and punctuation,
// as in a command line or a script.
std::string AsciiText(std::size_t size) {
    std::mt19937 generator(1);
    std::uniform_int_distribution<int> letter('a', 'z'), word_length(1, 10), other(0, 15);
    const char punctuation[] = " .,;:-_/\\\"'()=\n\t";
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        for (int n = word_length(generator); n > 0; --n) text += static_cast<char>(letter(generator));
        text += punctuation[other(generator)];
        if (other(generator) == 0) text += static_cast<char>('A' + other(generator));
        if (other(generator) == 1) text += static_cast<char>('0' + other(generator) % 10);
    }
    text.resize(size);
    return text;
}

// About half ASCII by code point, the rest Latin, Cyrillic, Greek, Arabic,
// CJK, Hangul, emoji and bad bytes.
std::string MixedText(std::size_t size) {
    std::mt19937 generator(2);
    std::uniform_int_distribution<int> kind(0, 99);
    const auto in = [&](char32_t first, char32_t last) {
        return std::uniform_int_distribution<std::uint32_t>(first, last)(generator);
    };
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        const int k = kind(generator);
        if (k < 50) AppendUtf8(text, in(0x20, 0x7E));
        else if (k < 60) AppendUtf8(text, in(0xA0, 0x17F));
        else if (k < 68) AppendUtf8(text, in(0x400, 0x4FF));
        else if (k < 72) AppendUtf8(text, in(0x391, 0x3C9));
        else if (k < 76) AppendUtf8(text, in(0x600, 0x6FF));
        else if (k < 88) AppendUtf8(text, in(0x4E00, 0x9FFF));
        else if (k < 93) AppendUtf8(text, in(0xAC00, 0xD7A3));
        else if (k < 98) AppendUtf8(text, in(0x1F300, 0x1F6FF));
        else text += static_cast<char>(in(0x80, 0xFF));  // lone continuation or cut-off lead
    }
    text.resize(size);
    return text;
}

// Code points drawn from one range, with a space now and then as in prose.
template <char32_t First, char32_t Last>
std::string ScriptText(std::size_t size) {
    std::mt19937 generator(3);
    std::uniform_int_distribution<std::uint32_t> point(First, Last), gap(0, 7);
    std::string text;
    text.reserve(size + 8);
    while (text.size() < size) AppendUtf8(text, gap(generator) == 0 ? U' ' : static_cast<char32_t>(point(generator)));
    text.resize(size);
    return text;
}

// Scalar values from every plane, surrogates left out.
std::string EveryPlaneText(std::size_t size) {
    std::mt19937 generator(4);
    std::uniform_int_distribution<std::uint32_t> point(0, 0x10FFFF);
    std::string text;
    text.reserve(size + 8);
    while (text.size() < size) {
        const std::uint32_t c = point(generator);
        if (c < 0xD800 || c > 0xDFFF) AppendUtf8(text, static_cast<char32_t>(c));
    }
    text.resize(size);
    return text;
}

template <std::string (*Make)(std::size_t)>
void Entropy(benchmark::State& state) {
    const std::string text = Make(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(ScanEngine::File::MeasureEntropy(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}

// 64 B to 64 MiB: the short texts rules hand over most often, and sizes past
// every cache.
void Sizes(benchmark::internal::Benchmark* b) {
    for (const std::int64_t size : {64, 1 << 10, 4 << 10, 64 << 10, 1 << 20, 64 << 20}) b->Arg(size);
}

BENCHMARK(Entropy<AsciiText>)->Name("Entropy/ascii")->Apply(Sizes);
BENCHMARK(Entropy<ScriptText<0xA0, 0x17F>>)->Name("Entropy/latin")->Apply(Sizes);
BENCHMARK(Entropy<ScriptText<0x400, 0x4FF>>)->Name("Entropy/cyrillic")->Apply(Sizes);
BENCHMARK(Entropy<ScriptText<0x4E00, 0x9FFF>>)->Name("Entropy/cjk")->Apply(Sizes);
BENCHMARK(Entropy<ScriptText<0x1F300, 0x1F6FF>>)->Name("Entropy/emoji")->Apply(Sizes);
BENCHMARK(Entropy<EveryPlaneText>)->Name("Entropy/every_plane")->Apply(Sizes);
BENCHMARK(Entropy<MixedText>)->Name("Entropy/mixed_utf8")->Apply(Sizes);

}  // namespace
