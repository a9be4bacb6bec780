// Text entropy: known values, the decoding of bad UTF-8, and agreement with
// a plain map-based computation on long mixed texts.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <map>
#include <random>
#include <string>

#include "orvik/functions/file/entropy_calculation.h"

namespace {

using ScanEngine::File::DecodeForEntropy;
using ScanEngine::File::MeasureEntropy;

constexpr char32_t kBad = 0xFFFD;

std::string Utf8(const std::u32string& code_points) {
    std::string text;
    for (const char32_t c : code_points) {
        const int tail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;  // continuation bytes
        const unsigned lead[] = {0x00, 0xC0, 0xE0, 0xF0};
        text += static_cast<char>(lead[tail] | (c >> (6 * tail)));
        for (int i = tail - 1; i >= 0; --i) text += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
    }
    return text;
}

// The definition written out the obvious way: a sorted map, the same sum.
std::int64_t ReferenceEntropy(const std::u32string& code_points) {
    std::map<char32_t, std::uint64_t> counts;
    for (const char32_t c : code_points) ++counts[c];
    double sum = 0;
    for (const auto& [c, count] : counts) {
        const double p = static_cast<double>(count) / static_cast<double>(code_points.size());
        sum += std::log(p) * p / std::log(2.0);
    }
    return std::llround(-sum * 100);
}

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i) text += piece;
    return text;
}

TEST(Entropy, KnownTextsGiveKnownValuesAndCodePointCounts) {
    struct Case {
        std::string text;
        std::int64_t entropy;
        std::uint64_t length;
    };
    const Case cases[] = {
        {"abab", 100, 4},
        {"aaaa", 0, 4},
        {"abcd", 200, 4},
        {"", 0, 0},
        {"\xFF\xFE", 0, 2},             // two bad bytes, two U+FFFD
        {"a\xC3\xB1" "b", 158, 3},      // log2(3) = 1.58496...
        {"aab", 92, 3},                 // 0.91830...
        {std::string("a\0b\0", 4), 150, 4},  // nul is a code point like any other
        // Long runs take the word-at-a-time path and its lanes.
        {Repeat("abab", 1000) + "ab", 100, 4002},
        {Repeat("a", 4099), 0, 4099},
        {Repeat("abcd", 1025), 200, 4100},
        // One code point from four different pages: equally likely, 2 bits.
        {Utf8({0x100, 0x1FF, 0x4E2D, 0x10FFFF}), 200, 4},
        // U+FFFD written out and U+FFFD from a bad byte are the same code point.
        {Utf8({kBad}) + "\x80", 0, 2},
    };
    for (const Case& c : cases) {
        const auto measured = MeasureEntropy(c.text);
        EXPECT_EQ(measured.entropy, c.entropy) << testing::PrintToString(c.text);
        EXPECT_EQ(measured.length, c.length) << testing::PrintToString(c.text);
    }
}

TEST(Entropy, EachBadByteIsOneReplacementAndSequencesAreCheckedByValue) {
    struct Case {
        std::string bytes;
        std::u32string code_points;
    };
    const Case cases[] = {
        // The smallest two-byte value; the other boundary values are in the mixed texts' pool.
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
        {"\xF8\x88\x80\x80\x80", {kBad, kBad, kBad, kBad, kBad}},
        {"\xFF\xFE\xFF", {kBad, kBad, kBad}},
        // Lone continuations, cut-off sequences, a lead where a continuation belongs.
        {"\x80\xBF", {kBad, kBad}},
        {"\xE2\x82", {kBad, kBad}},
        {"\xE2\x82" "a", {kBad, kBad, 'a'}},
        {"\xF0\x9F\x98", {kBad, kBad, kBad}},
        {"\xC3\xC3\xB1", {kBad, 0xF1}},
        {"\xE2\x28\xA1", {kBad, '(', kBad}},
        {"\xF0\x9F\x98\x80\xF0\x9F\x98", {0x1F600, kBad, kBad, kBad}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DecodeForEntropy(c.bytes), c.code_points) << testing::PrintToString(c.bytes);
        // The counting path decodes the same way, also inside longer ASCII runs.
        for (const std::string& text : {c.bytes, "0123456789" + c.bytes + "abcdefghi"}) {
            const auto decoded = DecodeForEntropy(text);
            const auto measured = MeasureEntropy(text);
            EXPECT_EQ(measured.length, decoded.size()) << testing::PrintToString(text);
            EXPECT_EQ(measured.entropy, ReferenceEntropy(decoded)) << testing::PrintToString(text);
        }
    }
}

TEST(Entropy, MixedTextsAgreeWithTheMapBasedSum) {
    // Code points from every kind of sequence, common and rare, plus bad
    // bytes that must come out as U+FFFD.
    const std::u32string pool = {'a', 'e', ' ', 't', '\n', 0, 0x7F, 0xE9, 0xF1, 0x100, 0x3B1, 0x416, 0x5D0, 0x7FF,
                                 0x800, 0x4E2D, 0x6587, 0xAC00, 0xD7FF, 0xE000, kBad, 0xFFFF, 0x10000, 0x1F600,
                                 0x10FFFF};
    const std::string bad_bytes[] = {"\xFF", "\x80", "\xC0", "\xED\xA0\x80"};  // each one U+FFFD
    std::mt19937 generator(4242);
    for (const std::size_t size : {1u, 7u, 9u, 64u, 1000u, 100000u}) {
        std::u32string expected;
        std::string text;
        // Skewed towards the start of the pool so that counts differ.
        std::geometric_distribution<std::size_t> pick(0.15);
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t choice = pick(generator);
            if (choice >= pool.size()) {
                text += bad_bytes[choice % std::size(bad_bytes)];
                expected += kBad;
            } else {
                text += Utf8({pool[choice]});
                expected += pool[choice];
            }
        }
        ASSERT_EQ(DecodeForEntropy(text), expected) << size;
        const auto measured = MeasureEntropy(text);
        EXPECT_EQ(measured.length, size);
        EXPECT_EQ(measured.entropy, ReferenceEntropy(expected)) << size;
    }
}

}  // namespace
