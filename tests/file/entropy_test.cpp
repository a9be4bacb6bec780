// Text entropy: known values and the decoding of bad UTF-8 (agreement with a plain reference sum on any text is
// the fuzz target's).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>

#include "orvik/functions/file/entropy_calculation.h"
#include "orvik/functions/file/entropy_log.h"
#include "orvik/functions/file/utf8_scan_avx2.h"

namespace {

using ScanEngine::File::DecodeForEntropy;
using ScanEngine::File::DecodeWidth;
using ScanEngine::File::MeasureEntropy;

// Runs `check` under each decoding width of long texts that the processor has; the widest stays chosen.
template <typename Check>
void UnderEachWidth(Check check) {
    for (const DecodeWidth width : {DecodeWidth::k16, DecodeWidth::k32}) {
        if (ScanEngine::File::SetDecodeWidth(width)) check(width);
        else std::printf("decode width %d: not supported by this processor, not tested\n", static_cast<int>(width));
    }
}

constexpr char32_t kBad = 0xFFFD;

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string text;
    while (times-- > 0) text += piece;
    return text;
}

// `n` CJK code points `step` apart (plus `curve` i^2, within the block, so that they also fall unevenly in a hash
// table), then every `every`-th of them again: counted right only once sorted.
std::string SpreadCjk(char32_t n, char32_t step, char32_t every, char32_t curve = 0) {
    std::string first, again;
    for (char32_t i = 0; i < n; ++i) {
        const char32_t c = 0x4E00 + (curve * i * i + step * i) % 20992;
        const std::string bytes = {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
                                   static_cast<char>(0x80 | (c & 0x3F))};
        first += bytes;
        if (i % every == 0) again += bytes;
    }
    return first + again;
}

TEST(Entropy, KnownTextsGiveKnownValuesAndCodePointCounts) {
    struct Case {
        std::string text;
        std::int64_t entropy;
        std::uint64_t length;
    };
    const Case cases[] = {
        {"", 0, 0},
        {"a\xC3\xB1" "b", 158, 3},      // log2(3) = 1.58496...
        // ASCII counts tallied while counting (texts up to 256 bytes) or walked after, beside other code points.
        {Repeat("abcd", 10), 200, 40},
        {Repeat("a\xC3\xA9", 20), 100, 40},
        {Repeat("ab", 64), 100, 128},  // a count of 64 is not small
        // Long runs take the word-at-a-time path and its lanes.
        {Repeat("abab", 1000) + "ab", 100, 4002},
        {Repeat("a", 4099), 0, 4099},
        {Repeat("abcd", 1025), 200, 4100},
        // Many code points past ASCII, counted on the stack and, past 4 KiB, in pages: two equally likely, 1 bit.
        {Repeat("\xC3\xA9\xD0\x96", 500), 100, 1000},
        {Repeat("\xC3\xA9\xD0\x96", 2000), 100, 4000},
        // Blocks of more bad bytes than code points, and of nothing else.
        {Repeat("a\xFF", 2500), 100, 5000},
        {Repeat("\xFF", 5000), 0, 5000},
        // One script with a few code points from elsewhere, above and below it.
        {Repeat("\xC3\xA9", 60) + Repeat("\xE4\xB8\xAD", 20) + Repeat("\xFF", 4), 105, 84},
        {Repeat("\xD0\x96", 60) + Repeat("\xC3\xA9", 10) + Repeat("\xE4\xB8\xAD", 10), 106, 80},
        {Repeat("\xC3\xA9\xE4\xB8\xAD", 40), 100, 80},  // two scripts, each code point many times
        // One code point from four different pages: equally likely, 2 bits.
        {"\xC4\x80\xC7\xBF\xE4\xB8\xAD\xF4\x8F\xBF\xBF", 200, 4},
        // U+FFFD written out and U+FFFD from a bad byte are the same code point.
        {"\xEF\xBF\xBD\x80", 0, 2},
        {SpreadCjk(300, 7, 1), 823, 600},  // log2(300) = 8.2288..., wider than any one window of a script
        // Counts 2 and 1 over many windows, counted by value: 2/3 log2(30) + 1/3 log2(60) = 5.2402...
        {SpreadCjk(40, 3, 2, 4), 524, 60},
        // Too many distinct code points to count by value: log2(1320) - 440/1320 = 10.0329...
        {SpreadCjk(1100, 7, 5), 1003, 1320},
        // Past 4 KiB, counts 2 and 1 side by side: 2/3 log2(1500) + 1/3 log2(3000) = 10.8840...
        {SpreadCjk(2000, 1, 2), 1088, 3000},
    };
    UnderEachWidth([&](DecodeWidth width) {
        for (const Case& c : cases) {
            const auto measured = MeasureEntropy(c.text);
            EXPECT_EQ(measured.entropy, c.entropy) << testing::PrintToString(c.text) << static_cast<int>(width);
            // The sum formed by the library alone, as near a rounding step, gives the same.
            EXPECT_EQ(ScanEngine::File::MeasureEntropyByLibrary(c.text).entropy, c.entropy);
            EXPECT_EQ(measured.length, c.length) << testing::PrintToString(c.text);
        }
    });
}

TEST(Entropy, EachBadByteIsOneReplacementAndSequencesAreCheckedByValue) {
    struct Case {
        std::string bytes;
        std::u32string code_points;
    };
    const Case cases[] = {
        {"\xC2\x80", {0x80}},
        // Overlong forms: the lead is a bad byte, and so is each continuation.
        {"\xC0\x80", {kBad, kBad}},
        {"\xC1\xBF", {kBad, kBad}},
        {"\xE0\x80\x80", {kBad, kBad, kBad}},
        {"\xE0\x9F\xBF", {kBad, kBad, kBad}},
        {"\xF0\x8F\xBF\xBF", {kBad, kBad, kBad, kBad}},
        // Surrogate values: one replacement for all three bytes.
        {"\xED\xA0\x80", {kBad}},
        {"\xED\xBF\xBF" "a", {kBad, 'a'}},
        // Beyond U+10FFFF, and leads that start no sequence.
        {"\xF4\x90\x80\x80", {kBad, kBad, kBad, kBad}},
        {"\xF5\x80\x80\x80", {kBad, kBad, kBad, kBad}},
        // Lone continuations, cut-off sequences, a lead where a continuation belongs.
        {"\x80\xBF", {kBad, kBad}},
        {"\xE2\x82" "a", {kBad, kBad, 'a'}},
        {"\xC3\xC3\xB1", {kBad, 0xF1}},
        {"\xE2\x28\xA1", {kBad, '(', kBad}},
        {"\xF0\x9F\x98\x80\xF0\x9F\x98", {0x1F600, kBad, kBad, kBad}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeForEntropy(c.bytes), c.code_points) << testing::PrintToString(c.bytes);
        // The counting paths decode alike at the end of a text, inside a block of mixed text, and in a text too
        // long to count on the stack (the case 200 times over, each time after 25 ASCII bytes and an "é").
        const auto at_end = MeasureEntropy("0123456789" + c.bytes);
        EXPECT_EQ(at_end.length, 10 + c.code_points.size()) << testing::PrintToString(c.bytes);
        const std::string block = "abcdefghijklmnopqrstuvwxy\xC3\xA9" + c.bytes;
        UnderEachWidth([&](DecodeWidth) {
            for (const std::size_t times : {std::size_t{1}, std::size_t{200}}) {
                const auto measured = MeasureEntropy(Repeat(block, times) + std::string(70, 'z'));
                EXPECT_EQ(measured.length, times * (26 + c.code_points.size()) + 70) << testing::PrintToString(c.bytes);
            }
        });
    }
}

// The quick logarithm against the extended-precision one, over every share a text of up to 600 code points can
// have, around each step of its table, and at the ends of its range.
TEST(Entropy, QuickLogarithmStaysWithinItsBound) {
    using ScanEngine::File::EntropyLog::Log;
    double worst = 0;
    const auto check = [&](double x) {
        const long double truth = std::log(static_cast<long double>(x));
        const long double error = std::fabs(static_cast<long double>(Log(x)) - truth) / (1 + std::fabs(truth));
        worst = std::max(worst, static_cast<double>(error));
    };
    for (unsigned n = 1; n <= 600; ++n)
        for (unsigned c = 1; c <= n; ++c) check(static_cast<double>(c) / n);
    for (int j = 0; j < 128; ++j)
        for (int d = -4; d <= 4; ++d) check(std::ldexp(1 + j / 128.0 + d * 0x1p-52, -1 - j % 63));
    for (const double x : {std::nextafter(1.0, 0.0), 0.5, 0x1p-64, 0.75}) check(x);
    EXPECT_LT(worst, 0x1p-44);
    EXPECT_EQ(Log(1.0), 0.0);
}

// Every split of up to 300 code points between two (and of up to 40 among three), ASCII and not, against the plain
// sum of the terms in ascending order of code point: whatever shortcut the counting takes, the answer is that sum's.
TEST(Entropy, EverySplitOfAShortTextGivesThePlainSum) {
    const auto plain = [](std::initializer_list<std::uint64_t> counts, std::uint64_t n) {
        double sum = 0;
        for (const std::uint64_t c : counts) {
            const double p = static_cast<double>(c) / static_cast<double>(n);
            if (c != 0) sum += std::log(p) * p / std::numbers::ln2;
        }
        return std::llround(-sum * 100);
    };
    int wrong = 0;
    for (std::uint64_t n = 1; n <= 300; ++n) {
        for (std::uint64_t a = 0; a <= n; ++a) {
            // U+00E9 shares its low seven bits with 'i'.
            const std::string two = std::string(a, 'i') + Repeat("\xC3\xA9", n - a);
            wrong += MeasureEntropy(two).entropy != plain({a, n - a}, n);
            wrong += ScanEngine::File::MeasureEntropyByLibrary(two).entropy != plain({a, n - a}, n);
            if (n > 40) continue;
            for (std::uint64_t b = 0; a + b <= n; ++b) {
                const std::string text = std::string(a, 'b') + std::string(b, 'a') + Repeat("\xD0\x96", n - a - b);
                wrong += MeasureEntropy(text).entropy != plain({b, a, n - a - b}, n);
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

// A sum formed with the quick logarithm is trusted only away from a rounding step; near one it is formed again.
TEST(Entropy, OnlySumsAwayFromARoundingStepAreTrusted) {
    using ScanEngine::File::EntropyLog::RoundingIsClear;
    EXPECT_FALSE(RoundingIsClear(1234.5, 10));
    EXPECT_FALSE(RoundingIsClear(std::nextafter(1234.5, 0.0), 10));
    EXPECT_FALSE(RoundingIsClear(0.5 + 1e-7, 1000000));  // the bound grows with the number of terms
    EXPECT_TRUE(RoundingIsClear(0.5 + 1e-7, 10));
    EXPECT_TRUE(RoundingIsClear(1234.4999, 10));
    EXPECT_TRUE(RoundingIsClear(0, 1));
    EXPECT_TRUE(RoundingIsClear(-1e-15, 1));  // a text of one code point may sum to a hair above zero
}

TEST(Entropy, BlockWalkerDecodesSequencesCutByPartsAndBlocks) {
    struct Piece { std::size_t at; std::string bytes; std::u32string code_points; };  // blocks start at 3, after "abc"
    struct Collect : std::u32string {
        void AddAsciiWord(std::uint64_t word) { for (int i = 0; i < 64; i += 8) Add(char32_t(word >> i & 0xFF)); }
        void Add(char32_t code_point) { push_back(code_point); }
    };
    for (const Piece& last : {Piece{194, "\xE4\xB8\xAD", {0x4E2D}}, Piece{193, "\xED\xBF\xBF", {kBad}}}) {
        std::string text = "abc";
        std::u32string expected = U"abc";
        Collect sink;
        for (const Piece& piece : std::initializer_list<Piece>{{17, "\xF0\x9F\x98\x80", {0x1F600}},
                 {33, "\xE4\xB8\xAD", {0x4E2D}}, {49, "\xC3\xA9\xA9", {0xE9, kBad}}, {65, "\xED\xA0\x80", {kBad}},
                 {72, "\xF4\x90\x80\x80x\xF4\x8F\xBF\xBF", {kBad, kBad, kBad, kBad, 0x78, 0x10FFFF}},
                 {87, "\xE0\x9F\xBF\xE0\xA0\x80\xC2\x80\xC1\xBF", {kBad, kBad, kBad, 0x800, 0x80, kBad, kBad}},
                 {130, "\xF0\x9F\x98\x80", {0x1F600}}, last, {214, "\xE4", {kBad}}}) {
            expected += std::u32string(piece.at - text.size(), 'x') + piece.code_points;
            text += std::string(piece.at - text.size(), 'x') + piece.bytes;
        }
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
        std::ranges::sort(expected);  // the order within a block is not kept
        EXPECT_EQ(ScanEngine::File::Utf8Scan::DecodeInto(bytes, bytes + text.size(), sink), expected.size());
        EXPECT_EQ((std::ranges::sort(sink), std::u32string(sink)), expected);
        if (!ScanEngine::File::SupportsDecodeWidth(DecodeWidth::k32)) continue;
        Collect wide;
        using ScanEngine::File::Utf8Scan::Detail::DecodeBlockAvx2;
        EXPECT_EQ(ScanEngine::File::Utf8Scan::DecodeInto<&DecodeBlockAvx2>(bytes, bytes + text.size(), wide),
                  expected.size());
        EXPECT_EQ((std::ranges::sort(wide), std::u32string(wide)), expected);
    }
}

}  // namespace
