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
        const double scaled = -sum_ * 100;
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
    double page_lanes_[4] = {};  // AddPage's sums; the library's uses the first only
    std::size_t added_ = 0;
    std::array<double, kCached> cache_;
    std::array<bool, kCached> known_{};
};

constexpr double kFixedUnit = 0x1p-44;

// c log2 c in units of kFixedUnit for the counts up to 256, made at compile
// time.
constexpr std::array<std::uint64_t, 257> MakeFixedTable() {
    std::array<std::uint64_t, 257> table{};
    for (unsigned c = 2; c < table.size(); ++c) {
        const int power = std::bit_width(c) - 1;
        const double rest = static_cast<double>(c) / static_cast<double>(1u << power);  // in [1, 2)
        const double log2 = power + EntropyLog::SeriesLog(rest) / std::numbers::ln2;
        table[c] = static_cast<std::uint64_t>(c * log2 / kFixedUnit + 0.5);
    }
    return table;
}
constexpr auto kFixedTable = MakeFixedTable();

// What a count's c log2 c gains as the count goes from c - 1 to c: a text
// of at most 256 bytes forms its ASCII share of the fixed-point sum while it
// counts, one table load per byte, and walks no counts after.
constexpr std::array<std::uint64_t, 257> MakeFixedSteps() {
    std::array<std::uint64_t, 257> steps{};
    for (unsigned c = 1; c < steps.size(); ++c) steps[c] = kFixedTable[c] - kFixedTable[c - 1];
    return steps;
}
constexpr auto kFixedSteps = MakeFixedSteps();

// The quick sum of a short text, in fixed point. With A the sum of c log2 c
// over the counts c of the code points that occur, the sum of the terms is
// A / n - log2 n; A is formed from whole numbers of 2^-44, so exactly and in
// any order, and for most counts by one table load.
//   Against the exact sum: each c log2 c is within 2^-50 c log2 c + 2^-45
// of its table value, or within 2^-42.7 c of its quick value past the
// table; over A / n that is at most 2^-50 log2 n + 2^-45 + 2^-42.7, below
// 2^-42 for the at most 12 bits of a short text. log2 n errs by 2^-42.7,
// and the roundings of A / n and of the difference by less than 2^-47: the
// quick sum is within 2^-41 of the exact one, under 2^-34 times 100. The
// library's terms and its rounding put its sum within 2^-32.4 + k 2^-41.4 of
// the exact one for k terms, so RoundingIsClear's bound for k terms (twice
// 2^-31 + k 2^-40) covers both.
class FixedEntropySum {
public:
    void Add(std::uint64_t count) {
        total_ += count < kFixedTable.size() ? kFixedTable[count] : Fixed(count);
        ++added_;
    }
    // A share of the sum formed elsewhere, from at most `terms` counts.
    void AddFixed(std::uint64_t share, std::size_t terms) {
        total_ += share;
        added_ += terms;
    }

    std::optional<std::int64_t> Rounded(std::uint64_t n) const {
        const double mean = static_cast<double>(total_) * kFixedUnit / static_cast<double>(n);
        const double scaled = -(mean - Log2(n)) * 100;
        if (!EntropyLog::RoundingIsClear(scaled, added_)) return std::nullopt;
        return std::llround(scaled);
    }

private:
    static constexpr double kInverseLn2 = 1 / std::numbers::ln2;

    // log2 of a whole number: its power of two, exactly, and the quick
    // logarithm of the rest, in [1/2, 1).
    static double Log2(std::uint64_t value) {
        const int shift = std::bit_width(value);
        const double scale = std::bit_cast<double>(std::uint64_t(1023 - shift) << 52);  // 2^-shift
        return shift + EntropyLog::Log(static_cast<double>(value) * scale) * kInverseLn2;
    }
    static std::uint64_t Fixed(std::uint64_t count) {
        return static_cast<std::uint64_t>(static_cast<double>(count) * Log2(count) / kFixedUnit + 0.5);
    }

    // A text counted on the stack has at most 4096 code points, so A is
    // below 4096 * 12 * 2^44 < 2^64.
    std::uint64_t total_ = 0;
    std::size_t added_ = 0;
};

// Texts up to this size are counted on the stack: code points below 0x80 in
// a table, the others collected and sorted, so the work follows the text and
// not the size of the code-point space.
constexpr std::size_t kShortText = 4096;

// Texts of at most this many bytes use a smaller frame: less stack to
// touch for the texts rules hand over most often.
constexpr std::size_t kTinyText = 256;

// Code points below 0x80 counted in a table; the others, of at most
// `Capacity`, collected for sorting.
template <std::size_t Capacity>
struct ShortTextCounts {
    // Tiny texts tally the ASCII share of the fixed-point sum as they count.
    static constexpr bool kTallied = Capacity <= kTinyText;
    static_assert(!kTallied || Capacity < kFixedSteps.size());

    std::uint16_t ascii[0x80] = {};
    std::uint64_t ascii_share = 0;  // kTallied: the sum of c log2 c over the ASCII counts c
    std::size_t other_count = 0;
    char32_t others[Capacity];

    void AddAsciiWord(std::uint64_t word) {
        for (unsigned i = 0; i < 8; ++i) {
            const unsigned count = ++ascii[(word >> (8 * i)) & 0x7F];
            if constexpr (kTallied) ascii_share += kFixedSteps[count];
        }
    }
    void Add(char32_t code_point) {
        const bool is_ascii = code_point < 0x80;
        const unsigned count = ascii[code_point & 0x7F] += is_ascii;
        if constexpr (kTallied) ascii_share += kFixedSteps[count] & (std::uint64_t{0} - is_ascii);
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

// Calls visit(count) for each distinct value among the `count` of `values`,
// in no set order.
template <std::size_t MaxDistinct, typename Visit>
void EachCountByValue(const char32_t* values, std::size_t count, Visit& visit) {
    CodePointOrder::DistinctCounts<MaxDistinct> distinct;
    for (std::size_t i = 0; i < count; ++i) distinct.Add(values[i]);  // never full: count <= MaxDistinct
    distinct.EachUnordered(visit);
}

// Calls visit(count) for each code point that occurs: those below 0x80
// unless told not to, and then the others. In ascending order of code
// point when asked; otherwise the others, when they are few enough and not
// mostly in one script's window (which a table counts quicker), are counted
// by value, which is quicker than sorting them.
template <std::size_t Capacity, typename Visit>
void EachCount(ShortTextCounts<Capacity>& counts, bool with_ascii, bool in_order, Visit visit) {
    if (with_ascii) {
        std::uint64_t present[2];
        counts.Present(present);
        for (unsigned half = 0; half < 2; ++half) {
            for (std::uint64_t bits = present[half]; bits != 0; bits &= bits - 1)
                visit(counts.ascii[half * 64 + static_cast<unsigned>(std::countr_zero(bits))]);
        }
    }
    if (counts.other_count == 0) return;
    if (!in_order && counts.other_count <= Capacity / 4 &&
        !CodePointOrder::MostlyInOneWindow(counts.others, counts.other_count)) {
        // A table for the few, so that a handful of accents does not clear one for a thousand.
        if (counts.other_count <= 64) return EachCountByValue<64>(counts.others, counts.other_count, visit);
        return EachCountByValue<Capacity / 4>(counts.others, counts.other_count, visit);
    }
    char32_t scratch[Capacity];
    EachCountInOrder(counts.others, scratch, counts.other_count, visit);
}

template <std::size_t Capacity>
std::optional<TextEntropy> MeasureShortText(const unsigned char* at, const unsigned char* end, Precision precision) {
    ShortTextCounts<Capacity> counts;
    TextEntropy result;
    result.length = DecodeInto(at, end, counts);
    if (result.length == 0) return result;
    std::optional<std::int64_t> rounded;
    if (precision == Precision::kQuick) {
        FixedEntropySum sum;
        const bool tallied = ShortTextCounts<Capacity>::kTallied;
        if (tallied) sum.AddFixed(counts.ascii_share, 0x80);
        // The fixed-point sum is the same in any order.
        EachCount(counts, !tallied, false, [&](std::uint64_t count) { sum.Add(count); });
        rounded = sum.Rounded(result.length);
    } else {
        EntropySum sum(result.length, precision);
        EachCount(counts, true, true, [&](std::uint64_t count) { sum.Add(count); });
        rounded = sum.Rounded();
    }
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
[[gnu::target("avx2,bmi,popcnt"), gnu::flatten]] std::uint64_t CountWide(const unsigned char* at, const unsigned char* end,
                                                                   CodePointCounts<Count>& counts) {
    return DecodeInto<&Utf8Scan::Detail::DecodeBlockAvx2, &Utf8Scan::Detail::CompactBlockAvx2>(at, end, counts);
}

bool Detected(DecodeWidth width) {
    static const bool wide = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") && __builtin_cpu_supports("popcnt");
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

namespace {

std::optional<TextEntropy> Measure(std::string_view text, Precision precision) {
    const auto at = reinterpret_cast<const unsigned char*>(text.data());
    const auto measure = text.size() <= kTinyText    ? MeasureShortText<kTinyText>
                         : text.size() <= kShortText ? MeasureShortText<kShortText>
                         : text.size() <= UINT32_MAX ? MeasureLongText<std::uint32_t>
                                                     : MeasureLongText<std::uint64_t>;
    return measure(at, at + text.size(), precision);
}

}  // namespace

TextEntropy MeasureEntropy(std::string_view text) {
    if (const auto quick = Measure(text, Precision::kQuick)) return *quick;
    return *Measure(text, Precision::kLibrary);  // counted again: rare enough not to keep counts
}

TextEntropy MeasureEntropyByLibrary(std::string_view text) { return *Measure(text, Precision::kLibrary); }

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
