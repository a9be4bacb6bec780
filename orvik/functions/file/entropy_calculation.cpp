#include "entropy_calculation.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <emmintrin.h>
#include <memory>
#include <numbers>
#include <vector>

#include "code_point_order.h"
#include "common/non_copyable.h"
#include "utf8_scan.h"

namespace ScanEngine::File {
namespace {

using CodePointOrder::EachCountInOrder;
using Utf8Scan::DecodeInto;
using Utf8Scan::DecodeSequence;
using Utf8Scan::Sequence;

// One term of the sum for a code point seen `count` times among `n`. Texts
// repeat the same small counts, so the terms for small counts are formed
// once per text; the value is the same bits whichever way it is reached.
class Terms {
public:
    explicit Terms(double n) : n_(n) {}
    double operator()(std::uint64_t count) {
        if (count >= kCached) return Term(count);
        if (!known_[count]) {
            cache_[count] = Term(count);
            known_[count] = true;
        }
        return cache_[count];
    }

private:
    static constexpr std::size_t kCached = 64;
    double Term(std::uint64_t count) const {
        const double p = static_cast<double>(count) / n_;
        return std::log(p) * p / std::numbers::ln2;
    }
    double n_;
    std::array<double, kCached> cache_;
    std::array<bool, kCached> known_{};
};

std::int64_t Rounded(double sum) { return std::llround(-sum * 100); }

// Texts up to this size are counted on the stack: code points below 0x80 in
// a table, the others collected and sorted, so the work follows the text and
// not the size of the code-point space.
constexpr std::size_t kShortText = 4096;

// Code points below 0x80 counted in a table; the others collected for
// sorting.
struct ShortTextCounts {
    std::uint16_t ascii[0x80] = {};
    std::size_t other_count = 0;
    char32_t others[kShortText];

    void AddAsciiWord(std::uint64_t word) {
        for (unsigned i = 0; i < 8; ++i) ++ascii[(word >> (8 * i)) & 0x7F];
    }
    void Add(char32_t code_point) {
        const bool is_ascii = code_point < 0x80;
        ascii[code_point & 0x7F] += is_ascii;
        others[other_count] = code_point;  // kept only when not ASCII
        other_count += !is_ascii;
    }
    // One bit per ASCII code point that occurs, so that the sum visits only them.
    void Present(std::uint64_t (&present)[2]) const {
        for (unsigned half = 0; half < 2; ++half) {
            std::uint64_t bits = 0;
            for (unsigned at = 0; at < 64; at += 16) {
                const auto* counts = reinterpret_cast<const __m128i*>(ascii + half * 64 + at);
                const __m128i zero = _mm_setzero_si128();
                const __m128i empty = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_loadu_si128(counts), zero),
                                                      _mm_cmpeq_epi16(_mm_loadu_si128(counts + 1), zero));
                bits |= std::uint64_t{~static_cast<unsigned>(_mm_movemask_epi8(empty)) & 0xFFFFu} << at;
            }
            present[half] = bits;
        }
    }
};

TextEntropy MeasureShortText(const unsigned char* at, const unsigned char* end) {
    ShortTextCounts counts;
    TextEntropy result;
    result.length = DecodeInto(at, end, counts);
    if (result.length == 0) return result;

    char32_t scratch[kShortText];
    Terms term(static_cast<double>(result.length));
    double sum = 0;
    std::uint64_t present[2];
    counts.Present(present);
    for (unsigned half = 0; half < 2; ++half) {
        for (std::uint64_t bits = present[half]; bits != 0; bits &= bits - 1)
            sum += term(counts.ascii[half * 64 + static_cast<unsigned>(std::countr_zero(bits))]);
    }
    EachCountInOrder(counts.others, scratch, counts.other_count, [&](std::uint64_t count) { sum += term(count); });
    result.entropy = Rounded(sum);
    return result;
}

// Occurrences per code point for longer texts, in pages of 256 code points
// made on first use, with a record of which pages exist, so that the final
// walk visits only those. Page 0 comes in lanes, so that a run of one ASCII
// character does not wait on its own increments.
class CodePointCounts : public Common::NonCopyable {
public:
    // Eight bytes below 0x80, whatever their order in the word.
    void AddAsciiWord(std::uint64_t word) {
        for (unsigned i = 0; i < 8; ++i) ++lanes_[i % kLanes][(word >> (8 * i)) & 0xFF];
    }
    void Add(char32_t code_point) {
        std::uint64_t*& page = pages_[code_point / kPageSize];
        if (page == nullptr) page = MakePage(code_point / kPageSize);
        ++page[code_point % kPageSize];
    }

    // Calls visit(count) for every code point that occurs, in ascending order.
    template <typename Visit>
    void EachInOrder(Visit visit) const {
        for (std::size_t c = 0; c < kPageSize; ++c) {
            std::uint64_t count = 0;
            for (const auto& lane : lanes_) count += lane[c];
            if (count != 0) visit(count);
        }
        for (std::size_t word = 0; word < made_.size(); ++word) {
            for (std::uint64_t bits = made_[word]; bits != 0; bits &= bits - 1) {
                const std::uint64_t* page = pages_[word * 64 + static_cast<unsigned>(std::countr_zero(bits))];
                for (std::size_t c = 0; c < kPageSize; ++c)
                    if (page[c] != 0) visit(page[c]);
            }
        }
    }

private:
    static constexpr std::size_t kLanes = 4;
    static constexpr std::size_t kPageSize = 256;
    static constexpr std::size_t kPages = 0x110000 / kPageSize;

    std::uint64_t* MakePage(std::size_t index) {
        owned_.push_back(std::make_unique<std::uint64_t[]>(kPageSize));  // zero-filled
        made_[index / 64] |= std::uint64_t{1} << (index % 64);
        return owned_.back().get();
    }

    std::array<std::array<std::uint64_t, kPageSize>, kLanes> lanes_{};
    std::array<std::uint64_t*, kPages> pages_{lanes_[0].data()};  // page 0 is the first lane
    std::array<std::uint64_t, kPages / 64> made_{};                // pages 1 and up that exist
    std::vector<std::unique_ptr<std::uint64_t[]>> owned_;          // pages 1 and up, in the order made
};

TextEntropy MeasureLongText(const unsigned char* at, const unsigned char* end) {
    const auto counts = std::make_unique<CodePointCounts>();
    TextEntropy result;
    result.length = DecodeInto(at, end, *counts);
    Terms term(static_cast<double>(result.length));
    double sum = 0;
    counts->EachInOrder([&](std::uint64_t count) { sum += term(count); });
    result.entropy = Rounded(sum);
    return result;
}

}  // namespace

TextEntropy MeasureEntropy(std::string_view text) {
    const auto at = reinterpret_cast<const unsigned char*>(text.data());
    if (text.size() <= kShortText) return MeasureShortText(at, at + text.size());
    return MeasureLongText(at, at + text.size());
}

std::u32string DecodeForEntropy(std::string_view text) {
    auto at = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = at + text.size();
    std::u32string code_points;
    code_points.reserve(text.size());
    while (at != end) {
        const Sequence sequence = DecodeSequence(at, static_cast<std::size_t>(end - at));
        code_points.push_back(sequence.code_point);
        at += sequence.length;
    }
    return code_points;
}

}  // namespace ScanEngine::File
