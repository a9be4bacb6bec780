#include "entropy_calculation.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <emmintrin.h>
#include <memory>
#include <numbers>

#include "common/non_copyable.h"

namespace ScanEngine::File {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
// Words read from the text are taken apart byte by byte in memory order.
static_assert(std::endian::native == std::endian::little);

struct Sequence {
    char32_t code_point;
    unsigned length;  // bytes consumed
};

inline bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one sequence, read byte by byte and never past the end: the whole
// sequence when it is valid, the first byte alone as U+FFFD otherwise. `left`
// counts the bytes from `at` to the end of the text, at least 1.
Sequence DecodeSequence(const unsigned char* at, std::size_t left) {
    const char32_t lead = at[0];
    if (lead < 0x80) return {lead, 1};
    if ((lead & 0xE0) == 0xC0) {
        if (left >= 2 && IsContinuation(at[1])) {
            const char32_t value = ((lead & 0x1F) << 6) | (at[1] & 0x3Fu);
            if (value >= 0x80) return {value, 2};
        }
    } else if ((lead & 0xF0) == 0xE0) {
        if (left >= 3 && IsContinuation(at[1]) && IsContinuation(at[2])) {
            const char32_t value = ((lead & 0x0F) << 12) | ((at[1] & 0x3Fu) << 6) | (at[2] & 0x3Fu);
            if (value >= 0x800) return {value >= 0xD800 && value <= 0xDFFF ? kReplacement : value, 3};
        }
    } else if ((lead & 0xF8) == 0xF0) {
        if (left >= 4 && IsContinuation(at[1]) && IsContinuation(at[2]) && IsContinuation(at[3])) {
            const char32_t value =
                ((lead & 0x07) << 18) | ((at[1] & 0x3Fu) << 12) | ((at[2] & 0x3Fu) << 6) | (at[3] & 0x3Fu);
            if (value >= 0x10000 && value <= 0x10FFFF) return {value, 4};
        }
    }
    return {kReplacement, 1};
}

// The same decoding from four readable bytes, without branches or table
// loads, for text where the kinds of sequence alternate unpredictably. The
// count of leading one bits of the lead byte is the length (none: ASCII);
// the candidate value of that length is kept only if its continuation bytes
// and its range fit.
inline Sequence DecodeWithinText(const unsigned char* at) {
    std::uint32_t word;
    std::memcpy(&word, at, sizeof word);
    const unsigned ones = static_cast<unsigned>(std::countl_one(at[0]));
    const unsigned length = ones == 0 ? 1 : (ones > 4 ? 4 : ones);
    const unsigned shift = 6 * (4 - length);
    const std::uint32_t value = (((at[0] & (0x7Fu >> (ones > 4 ? 4 : ones))) << 18) | ((at[1] & 0x3Fu) << 12) |
                                 ((at[2] & 0x3Fu) << 6) | (at[3] & 0x3Fu)) >> shift;
    // Continuation bytes: the `length - 1` bytes after the lead, each 10xxxxxx.
    const std::uint32_t tail_mask = static_cast<std::uint32_t>(((std::uint64_t{1} << (8 * length)) - 1) & 0xC0C0C000u);
    const bool tail_ok = (word & tail_mask) == (tail_mask & 0x80808080u);
    // Smallest value each length may encode, as a bit position: 7, 11, 16.
    const unsigned minimum_bit = static_cast<unsigned>((0x100B0700ull << 8 >> (8 * length)) & 0xFF);
    const bool in_range = (value >> minimum_bit) != 0 && value <= 0x10FFFF;
    const bool valid = ones == 0 || (ones >= 2 && ones <= 4 && tail_ok && in_range);
    const bool surrogate = (value & 0xFFFFF800u) == 0xD800;
    Sequence sequence{surrogate ? kReplacement : value, length};
    if (!valid) sequence = {kReplacement, 1};
    return sequence;
}

// Per lead byte: the length of the sequence it starts (0: none) in the low
// byte, its value bits above.
constexpr std::array<std::uint16_t, 256> MakeLeadInfo() {
    std::array<std::uint16_t, 256> info{};
    for (unsigned byte = 0; byte < 256; ++byte) {
        const unsigned length = byte < 0x80                ? 1
                                : (byte & 0xE0) == 0xC0    ? 2
                                : (byte & 0xF0) == 0xE0    ? 3
                                : (byte & 0xF8) == 0xF0    ? 4
                                                           : 0;
        const unsigned value_bits = length == 1 ? 0x7F : length == 0 ? 0 : 0x7F >> length;
        info[byte] = static_cast<std::uint16_t>(length | value_bits << 8);
    }
    return info;
}
constexpr std::array<std::uint16_t, 256> kLeadInfo = MakeLeadInfo();

// Decodes the `length` bytes at `at`, of which all but the first are known
// to be continuation bytes: the sequence when the lead byte announces
// exactly that length and the value fits it; length 0 when decoding must
// look further (a cut-off or overlong sequence, a lone lead byte). The table
// load depends on the text, not on the previous sequence.
inline Sequence DecodeBetweenStarts(const unsigned char* at, unsigned length) {
    const unsigned info = kLeadInfo[at[0]];
    const std::uint32_t value = (((at[0] & (info >> 8)) << 18) | ((at[1] & 0x3Fu) << 12) |
                                 ((at[2] & 0x3Fu) << 6) | (at[3] & 0x3Fu)) >> ((24 - 6 * length) & 31);
    // Smallest value of each length: 0, then 1 << 7, 1 << 11, 1 << 16.
    const unsigned minimum_bit = static_cast<unsigned>((0x100B070000ull >> (8 * (length & 7))) & 0xFF);
    const std::uint32_t minimum = std::uint32_t{length > 1} << minimum_bit;
    const bool valid = (info & 0xFF) == length && value >= minimum && value <= 0x10FFFF;
    const bool surrogate = (value & 0xFFFFF800u) == 0xD800;
    return {surrogate ? kReplacement : value, valid ? length : 0};
}

// Decodes the whole text into `sink` (AddAsciiWord for eight ASCII bytes,
// Add for one code point) and returns the number of code points. Where the
// text is valid UTF-8 every byte that is not a continuation byte starts a
// code point, so the starts of a 64-byte block are known before any of its
// sequences is decoded and the decodes do not wait on each other. A start
// is decoded knowing its length, the distance to the next start; where the
// lead byte announces another length the walk goes on one sequence at a
// time from there, which is exactly where decoding sequence by sequence
// would stand.
template <typename Sink>
std::uint64_t DecodeInto(const unsigned char* at, const unsigned char* const end, Sink& sink) {
    std::uint64_t total = 0;
    // A sequence starting in a block may read up to three bytes past it.
    while (end - at >= 64 + 3) {
        std::uint64_t high = 0, continuation = 0;
        for (unsigned part = 0; part < 4; ++part) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * part));
            high |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(bytes))} << (16 * part);
            // 0x80 to 0xBF are -128 to -65 as signed bytes: the continuation bytes.
            const int tail = _mm_movemask_epi8(_mm_cmplt_epi8(bytes, _mm_set1_epi8(-64)));
            continuation |= std::uint64_t{static_cast<std::uint16_t>(tail)} << (16 * part);
        }
        if (high == 0) {
            for (unsigned part = 0; part < 64; part += 8) {
                std::uint64_t word;
                std::memcpy(&word, at + part, sizeof word);
                sink.AddAsciiWord(word);
            }
            at += 64;
            total += 64;
            continue;
        }
        std::uint64_t starts = ~continuation | 1;  // a stray continuation byte first is decoded alone
        unsigned offset = 0;
        for (;;) {
            starts &= starts - 1;
            if (starts == 0) break;
            const auto next = static_cast<unsigned>(std::countr_zero(starts));
            const Sequence sequence = DecodeBetweenStarts(at + offset, next - offset);
            if (sequence.length == 0) break;
            sink.Add(sequence.code_point);
            ++total;
            offset = next;
        }
        // The last start of the block, whose sequence may run past it, or
        // one the lengths did not agree on.
        const Sequence sequence = DecodeWithinText(at + offset);
        sink.Add(sequence.code_point);
        ++total;
        at += offset + sequence.length;
    }
    // What is left, and short texts: ASCII eight bytes at a time.
    while (end - at >= 8) {
        std::uint64_t word;
        std::memcpy(&word, at, sizeof word);
        if ((word & 0x8080808080808080ull) == 0) {
            sink.AddAsciiWord(word);
            at += 8;
            total += 8;
            continue;
        }
        const Sequence sequence = DecodeWithinText(at);
        sink.Add(sequence.code_point);
        at += sequence.length;
        ++total;
    }
    while (at != end) {
        const Sequence sequence = DecodeSequence(at, static_cast<std::size_t>(end - at));
        sink.Add(sequence.code_point);
        at += sequence.length;
        ++total;
    }
    return total;
}

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

// Sorts `count` values, in place or into `scratch`: returns where the sorted
// values are. A few by insertion; more by their bytes, least significant
// first, one pass per byte in which they differ.
const char32_t* SortValues(char32_t* values, char32_t* scratch, std::size_t count) {
    if (count <= 32) {
        for (std::size_t i = 1; i < count; ++i) {
            const char32_t value = values[i];
            std::size_t j = i;
            for (; j > 0 && values[j - 1] > value; --j) values[j] = values[j - 1];
            values[j] = value;
        }
        return values;
    }
    std::uint32_t offsets[3][256] = {};
    char32_t all_or = 0, all_and = ~char32_t{0};
    for (std::size_t i = 0; i < count; ++i) {
        const char32_t value = values[i];
        all_or |= value;
        all_and &= value;
        ++offsets[0][value & 0xFF];
        ++offsets[1][value >> 8 & 0xFF];
        ++offsets[2][value >> 16];  // below 0x11
    }
    const char32_t varying = all_or ^ all_and;
    const auto pass = [&]<unsigned kShift>(std::uint32_t* offset) {
        if ((varying >> kShift & 0xFF) == 0) return;
        for (std::uint32_t at = 0, bucket = 0; bucket < 256; ++bucket) {
            const std::uint32_t size = offset[bucket];
            offset[bucket] = at;
            at += size;
        }
        char32_t* __restrict const out = scratch;
        const char32_t* __restrict const in = values;
        for (std::size_t i = 0; i < count; ++i) {
            const char32_t value = in[i];
            out[offset[value >> kShift & 0xFF]++] = value;
        }
        std::swap(values, scratch);
    };
    pass.template operator()<0>(offsets[0]);
    pass.template operator()<8>(offsets[1]);
    pass.template operator()<16>(offsets[2]);
    return values;
}

// Calls visit(run length) for each run of equal values in [at, end).
template <typename Visit>
void VisitRuns(const char32_t* at, const char32_t* end, Visit& visit) {
    while (at != end) {
        const char32_t* run = at + 1;
        while (run != end && *run == *at) ++run;
        visit(static_cast<std::uint64_t>(run - at));
        at = run;
    }
}

// Counts of up to kMaxDistinct distinct values in an open-addressed table:
// text that repeats a few code points is counted, and only those are sorted.
class DistinctCounts {
public:
    static constexpr std::size_t kMaxDistinct = 256;

    // False once the values are too many to be worth it.
    bool Add(char32_t value) {
        for (std::size_t slot = Hash(value);; slot = (slot + 1) % kSlots) {
            if (count_[slot] == 0) {
                if (distinct_ == kMaxDistinct) return false;
                key_[slot] = value;
                count_[slot] = 1;
                keys_[distinct_++] = value;
                return true;
            }
            if (key_[slot] == value) {
                ++count_[slot];
                return true;
            }
        }
    }
    template <typename Visit>
    void EachInOrder(char32_t* scratch, Visit& visit) {
        const char32_t* sorted = SortValues(keys_, scratch, distinct_);
        for (std::size_t i = 0; i < distinct_; ++i) {
            std::size_t slot = Hash(sorted[i]);
            while (key_[slot] != sorted[i]) slot = (slot + 1) % kSlots;
            visit(std::uint64_t{count_[slot]});
        }
    }

private:
    static constexpr std::size_t kSlots = 2 * kMaxDistinct;
    static std::size_t Hash(char32_t value) { return (value * 0x9E3779B1u) >> 23; }  // 9 bits: kSlots
    std::uint16_t count_[kSlots] = {};
    char32_t key_[kSlots];
    char32_t keys_[kMaxDistinct];
    std::size_t distinct_ = 0;
};

// Calls visit(count) for each distinct value among `values`, in ascending
// order of value; `scratch` has room for as many. Text in one script keeps
// most of its code points within one aligned window: those are counted in a
// table, and only the others are sorted. Text that repeats a few code points
// is counted by value. Anything else is sorted whole.
template <typename Visit>
void EachCountInOrder(char32_t* values, char32_t* scratch, std::size_t count, Visit visit) {
    if (count <= 32) {
        const char32_t* sorted = SortValues(values, scratch, count);
        return VisitRuns(sorted, sorted + count, visit);
    }
    constexpr char32_t kWindow = 1024;
    const char32_t base = values[count / 2] / kWindow * kWindow;
    // A sample tells text in many scripts early, before the table is made.
    std::size_t sampled_outside = 0;
    for (std::size_t i = 0; i < 16; ++i) sampled_outside += values[i * count / 16] - base >= kWindow;
    if (sampled_outside > 4) {
        DistinctCounts distinct;
        std::size_t i = 0;
        while (i < count && distinct.Add(values[i])) ++i;
        if (i == count) return distinct.EachInOrder(scratch, visit);
        const char32_t* sorted = SortValues(values, scratch, count);
        return VisitRuns(sorted, sorted + count, visit);
    }
    alignas(16) std::uint16_t table[kWindow] = {};
    std::size_t outside = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char32_t value = values[i];
        if (value - base < kWindow) ++table[value - base];
        else scratch[outside++] = value;
    }
    if (outside > count / 4) {
        // Many scripts: sorting them all is cheaper than the table.
        const char32_t* sorted = SortValues(values, scratch, count);
        return VisitRuns(sorted, sorted + count, visit);
    }
    // The values are all counted or copied: their room serves the sort.
    const char32_t* sorted = SortValues(scratch, values, outside);
    const char32_t* const end = sorted + outside;
    const char32_t* above = std::lower_bound(sorted, end, base);
    VisitRuns(sorted, above, visit);
    for (std::size_t at = 0; at < kWindow; at += 8) {
        const __m128i group = _mm_load_si128(reinterpret_cast<const __m128i*>(table + at));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(group, _mm_setzero_si128())) == 0xFFFF) continue;
        for (std::size_t c = at; c < at + 8; ++c)
            if (table[c] != 0) visit(std::uint64_t{table[c]});
    }
    VisitRuns(above, end, visit);
}

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
        made_[index / 64] |= std::uint64_t{1} << (index % 64);
        owned_[index] = std::make_unique<std::uint64_t[]>(kPageSize);  // zero-filled
        return owned_[index].get();
    }

    std::array<std::array<std::uint64_t, kPageSize>, kLanes> lanes_{};
    std::array<std::uint64_t*, kPages> pages_{lanes_[0].data()};  // page 0 is the first lane
    std::array<std::uint64_t, kPages / 64> made_{};                // pages 1 and up that exist
    std::unique_ptr<std::unique_ptr<std::uint64_t[]>[]> owned_ = std::make_unique<std::unique_ptr<std::uint64_t[]>[]>(kPages);
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
