#include "entropy_calculation.h"

#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <emmintrin.h>
#include <memory>
#include <numbers>
#include <optional>
#include <vector>

#include "code_point_order.h"
#include "common/non_copyable.h"
#include "entropy_log.h"
#include "utf8_scan.h"
#include "utf8_scan_avx2.h"

namespace ScanEngine::File {
namespace {

using CodePointOrder::EachCountInOrder;
using Utf8Scan::DecodeInto;
using Utf8Scan::DecodeSequence;
using Utf8Scan::Sequence;

// How the terms' logarithms are formed: first quickly, then, for the rare
// sum that lies too near a rounding step, by the runtime library.
enum class Precision { kQuick, kLibrary };

// The sum over the code points that occur of ln(p) p / ln 2, p the share of
// a code point seen `count` times among `n`. Texts repeat the same small
// counts, so the terms for small counts are formed once per text.
class EntropySum {
public:
    static constexpr std::size_t kCached = 64;  // counts below this have their terms kept

    EntropySum(std::uint64_t n, Precision precision)
        : n_(static_cast<double>(n)), inverse_n_(1 / n_), precision_(precision) {}

    void Add(std::uint64_t count) {
        ++added_;
        if (count >= kCached) {
            sum_ += Term(count);
            return;
        }
        if (!known_[count]) {
            cache_[count] = Term(count);
            known_[count] = true;
        }
        sum_ += cache_[count];
    }

    // Quick only: the terms of a table of 128 counts, each below kCached and
    // at most `largest`, with the zero counts' terms of 0 added too. Formed
    // side by side and added in four lanes, which is quicker than a walk
    // over the counts that occur; the order differs from the library's,
    // which RoundingIsClear allows for, counting every addition.
    void AddTable(const std::uint16_t (&counts)[0x80], unsigned largest) {
        for (unsigned count = 0; count <= largest; ++count) {
            cache_[count] = count == 0 ? 0 : Term(count);
            known_[count] = true;
        }
        double lanes[4] = {};
        for (unsigned at = 0; at < 0x80; at += 4) {
            for (unsigned lane = 0; lane < 4; ++lane) lanes[lane] += cache_[counts[at + lane]];
        }
        table_sum_ = (lanes[0] + lanes[1]) + (lanes[2] + lanes[3]);
        added_ += 0x80 + 3;
    }

    // Forms the terms of every count below kCached now, that of 0 being 0,
    // for AddPage.
    void FormSmallTerms() {
        cache_[0] = 0;
        for (std::size_t count = 1; count < kCached; ++count) cache_[count] = Term(count);
        known_.fill(true);
    }

    // The terms of a page of counts in ascending order of code point, zero
    // counts included (they add exactly 0): a branch on whether a code point
    // occurs could not be predicted on a page half full. Runs of 16 zero
    // counts are passed over. Needs FormSmallTerms first.
    template <typename Count, std::size_t kSize>
    void AddPage(const Count* page) {
        static_assert(kSize % 16 == 0);
        const bool quick = precision_ == Precision::kQuick;
        double lane[4] = {page_lanes_[0], page_lanes_[1], page_lanes_[2], page_lanes_[3]};
        for (std::size_t at = 0; at < kSize; at += 16) {
            __m128i any = _mm_setzero_si128();
            for (std::size_t part = 0; part < 16; part += 16 / sizeof(Count))
                any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(page + at + part)));
            if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF) continue;
            added_ += 16;
            for (const Count* c = page + at; c != page + at + 16; c += 4) {
                // The library's sum is one chain in ascending order; a quick
                // one takes four lanes, which RoundingIsClear allows.
                if ((c[0] | c[1] | c[2] | c[3]) >= kCached) {
                    for (unsigned i = 0; i < 4; ++i) lane[quick ? i : 0] += c[i] < kCached ? cache_[c[i]] : Term(c[i]);
                } else if (quick) {
                    for (unsigned i = 0; i < 4; ++i) lane[i] += cache_[c[i]];
                } else {
                    for (unsigned i = 0; i < 4; ++i) lane[0] += cache_[c[i]];
                }
            }
        }
        for (unsigned i = 0; i < 4; ++i) page_lanes_[i] = lane[i];
    }

    // After the last AddPage: its lanes join the sum (exactly, for the
    // library's single chain, the others being 0).
    void JoinPages() {
        sum_ += (page_lanes_[0] + page_lanes_[1]) + (page_lanes_[2] + page_lanes_[3]);
        added_ += 4;
    }

    // The entropy in hundredths of a bit, rounded half away from zero; none
    // when the quick logarithms leave the rounding in doubt.
    std::optional<std::int64_t> Rounded() const {
        const double scaled = -(sum_ + table_sum_) * 100;
        if (precision_ == Precision::kQuick && !EntropyLog::RoundingIsClear(scaled, added_)) return std::nullopt;
        return std::llround(scaled);
    }

private:
    // The quick term multiplies where the library's divides: a few units in
    // the last place, within what RoundingIsClear allows a term.
    double Term(std::uint64_t count) const {
        if (precision_ == Precision::kQuick) {
            const double p = static_cast<double>(count) * inverse_n_;
            return EntropyLog::Log(p) * p * kInverseLn2;
        }
        const double p = static_cast<double>(count) / n_;
        return std::log(p) * p / std::numbers::ln2;
    }
    static constexpr double kInverseLn2 = 1 / std::numbers::ln2;
    double n_, inverse_n_;
    Precision precision_;
    double sum_ = 0;
    double table_sum_ = 0;  // exactly 0 unless AddTable ran
    double page_lanes_[4] = {};  // AddPage's sums; the library's uses the first only
    std::size_t added_ = 0;
    std::array<double, kCached> cache_;
    std::array<bool, kCached> known_{};
};

// Texts up to this size are counted on the stack: code points below 0x80 in
// a table, the others collected and sorted, so the work follows the text and
// not the size of the code-point space.
constexpr std::size_t kShortText = 4096;

// Texts of at most this many bytes use a smaller frame: less stack to
// touch for the texts rules hand over most often.
constexpr std::size_t kTinyText = 256;

// From this many code points on, the ASCII counts' terms are summed over the
// whole table when their counts are small; fewer are quicker walked one by one.
constexpr std::uint64_t kTableFrom = 32;

// Code points below 0x80 counted in a table; the others, of at most
// `Capacity`, collected for sorting.
template <std::size_t Capacity>
struct ShortTextCounts {
    std::uint16_t ascii[0x80] = {};
    std::size_t other_count = 0;
    char32_t others[Capacity];

    void AddAsciiWord(std::uint64_t word) {
        for (unsigned i = 0; i < 8; ++i) ++ascii[(word >> (8 * i)) & 0x7F];
    }
    void Add(char32_t code_point) {
        const bool is_ascii = code_point < 0x80;
        ascii[code_point & 0x7F] += is_ascii;
        others[other_count] = code_point;  // kept only when not ASCII
        other_count += !is_ascii;
    }
    unsigned LargestAscii() const {
        __m128i top = _mm_setzero_si128();  // the counts fit in 15 bits: a signed maximum will do
        for (unsigned at = 0; at < 0x80; at += 8)
            top = _mm_max_epi16(top, _mm_loadu_si128(reinterpret_cast<const __m128i*>(ascii + at)));
        top = _mm_max_epi16(top, _mm_srli_si128(top, 8));
        top = _mm_max_epi16(top, _mm_srli_si128(top, 4));
        top = _mm_max_epi16(top, _mm_srli_si128(top, 2));
        return static_cast<unsigned>(_mm_cvtsi128_si32(top) & 0xFFFF);
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

template <std::size_t Capacity>
std::optional<TextEntropy> MeasureShortText(const unsigned char* at, const unsigned char* end, Precision precision) {
    ShortTextCounts<Capacity> counts;
    TextEntropy result;
    result.length = DecodeInto(at, end, counts);
    if (result.length == 0) return result;

    char32_t scratch[Capacity];
    EntropySum sum(result.length, precision);
    const unsigned largest = counts.LargestAscii();
    if (precision == Precision::kQuick && largest < EntropySum::kCached && result.length >= kTableFrom) {
        sum.AddTable(counts.ascii, largest);
    } else {
        std::uint64_t present[2];
        counts.Present(present);
        for (unsigned half = 0; half < 2; ++half) {
            for (std::uint64_t bits = present[half]; bits != 0; bits &= bits - 1)
                sum.Add(counts.ascii[half * 64 + static_cast<unsigned>(std::countr_zero(bits))]);
        }
    }
    if (counts.other_count != 0)
        EachCountInOrder(counts.others, scratch, counts.other_count, [&](std::uint64_t count) { sum.Add(count); });
    const auto rounded = sum.Rounded();
    if (!rounded) return std::nullopt;
    result.entropy = *rounded;
    return result;
}

// Occurrences per code point for longer texts, in pages of 1024 code
// points made on first use, with a record of which pages exist, so that the
// final walk visits only those. The page directory is small enough to stay
// in the nearest cache beside the counts. Runs of ASCII words count in lanes
// of their own, so that a run of one character does not wait on its own
// increments. Counts are 32 bits wide when the text is short enough for
// that (no count exceeds the text's bytes): half the memory, which text
// spread over every plane fills.
template <typename Count>
class CodePointCounts : public Common::NonCopyable {
public:
    // Eight bytes below 0x80, whatever their order in the word.
    void AddAsciiWord(std::uint64_t word) {
        // Lanes of 256 take a byte as it is, which saves a mask per byte.
        for (unsigned i = 0; i < 8; ++i) ++lanes_[i % kLanes][(word >> (8 * i)) & 0xFF];
    }
    void Add(char32_t code_point) {
        Count*& page = pages_[code_point / kPageSize];
        if (page == nullptr) page = MakePage(code_point / kPageSize);
        ++page[code_point % kPageSize];
    }

    // Adds the terms of every count to `sum`, in ascending order of code
    // point; the ASCII lanes are folded into the first page for it.
    template <typename Sum>
    void AddTo(Sum& sum) {
        for (std::size_t c = 0; c < kAscii; ++c)
            for (const auto& lane : lanes_) first_page_[c] += lane[c];
        sum.template AddPage<Count, kPageSize>(first_page_.data());
        for (std::size_t word = 0; word < made_.size(); ++word) {
            for (std::uint64_t bits = made_[word]; bits != 0; bits &= bits - 1) {
                const Count* page = pages_[word * 64 + static_cast<unsigned>(std::countr_zero(bits))];
                sum.template AddPage<Count, kPageSize>(page);
            }
        }
    }

private:
    static constexpr std::size_t kLanes = 4;
    static constexpr std::size_t kAscii = 0x80;
    static constexpr std::size_t kPageSize = 1024;
    static constexpr std::size_t kPages = 0x110000 / kPageSize;

    // Out of the counting loop, which then keeps its state in registers.
    [[gnu::noinline, gnu::cold]] Count* MakePage(std::size_t index) {
        owned_.push_back(std::make_unique<Count[]>(kPageSize));  // zero-filled
        made_[index / 64] |= std::uint64_t{1} << (index % 64);
        return owned_.back().get();
    }

    std::array<std::array<Count, 0x100>, kLanes> lanes_{};  // only the first kAscii counts are used
    std::array<Count, kPageSize> first_page_{};
    std::array<Count*, kPages> pages_{first_page_.data()};
    std::array<std::uint64_t, kPages / 64> made_{};        // pages 1 and up that exist
    std::vector<std::unique_ptr<Count[]>> owned_;          // pages 1 and up, in the order made
};

// The decoding of long texts with 32 positions at a time, the whole
// counting loop compiled for the instructions.
template <typename Count>
[[gnu::target("avx2,bmi"), gnu::flatten]] std::uint64_t CountWide(const unsigned char* at, const unsigned char* end,
                                                                   CodePointCounts<Count>& counts) {
    return DecodeInto<&Utf8Scan::Detail::DecodeBlockAvx2>(at, end, counts);
}

bool Detected(DecodeWidth width) {
    static const bool wide = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
    }();
    return width == DecodeWidth::k16 || (width == DecodeWidth::k32 && wide);
}

std::atomic<DecodeWidth>& ChosenWidth() {
    static std::atomic<DecodeWidth> width{Detected(DecodeWidth::k32) ? DecodeWidth::k32 : DecodeWidth::k16};
    return width;
}

template <typename Count>
std::optional<TextEntropy> MeasureLongText(const unsigned char* at, const unsigned char* end, Precision precision) {
    const auto counts = std::make_unique<CodePointCounts<Count>>();
    TextEntropy result;
    result.length = ChosenWidth().load(std::memory_order_relaxed) == DecodeWidth::k32 ? CountWide(at, end, *counts)
                                                                                      : DecodeInto(at, end, *counts);
    EntropySum sum(result.length, precision);
    sum.FormSmallTerms();
    counts->AddTo(sum);
    sum.JoinPages();
    const auto rounded = sum.Rounded();
    if (!rounded) return std::nullopt;
    result.entropy = *rounded;
    return result;
}

}  // namespace

bool SupportsDecodeWidth(DecodeWidth width) { return Detected(width); }

bool SetDecodeWidth(DecodeWidth width) {
    if (!Detected(width)) return false;
    ChosenWidth().store(width, std::memory_order_relaxed);
    return true;
}

TextEntropy MeasureEntropy(std::string_view text) {
    const auto at = reinterpret_cast<const unsigned char*>(text.data());
    const auto measure = text.size() <= kTinyText    ? MeasureShortText<kTinyText>
                         : text.size() <= kShortText ? MeasureShortText<kShortText>
                         : text.size() <= UINT32_MAX ? MeasureLongText<std::uint32_t>
                                                     : MeasureLongText<std::uint64_t>;
    if (const auto quick = measure(at, at + text.size(), Precision::kQuick)) return *quick;
    return *measure(at, at + text.size(), Precision::kLibrary);  // counted again: rare enough not to keep counts
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
