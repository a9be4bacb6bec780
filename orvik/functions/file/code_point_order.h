// Counts of code points visited in ascending order of code point, for
// sums whose order is part of their result. Pure computation.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include <utility>

namespace ScanEngine::File::CodePointOrder {

// Sorts `count` values, in place or into `scratch`: returns where the sorted
// values are. A few by insertion; more by their bytes, least significant
// first, one pass per byte in which they differ.
inline const char32_t* SortValues(char32_t* values, char32_t* scratch, std::size_t count) {
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

// Counts of up to MaxDistinct distinct values (a power of two) in an
// open-addressed table: text that repeats a few code points is counted, and
// only those are sorted, or visited in no set order when the order does not
// matter.
template <std::size_t MaxDistinct>
class DistinctCounts {
public:
    static_assert(std::has_single_bit(MaxDistinct) && MaxDistinct <= 0x8000);

    // False once the values are too many to be worth it.
    bool Add(char32_t value) {
        for (std::size_t slot = Hash(value);; slot = (slot + 1) % kSlots) {
            if (count_[slot] == 0) {
                if (distinct_ == MaxDistinct) return false;
                key_[slot] = value;
                count_[slot] = 1;
                slot_of_[distinct_] = static_cast<std::uint16_t>(slot);
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
    template <typename Visit>
    void EachUnordered(Visit& visit) const {
        for (std::size_t i = 0; i < distinct_; ++i) visit(std::uint64_t{count_[slot_of_[i]]});
    }

private:
    static constexpr std::size_t kSlots = 2 * MaxDistinct;
    static constexpr int kShift = 32 - std::countr_zero(kSlots);
    static std::size_t Hash(char32_t value) { return static_cast<std::uint32_t>(value * 0x9E3779B1u) >> kShift; }
    // Counts fit: the texts counted this way have at most 4096 code points.
    std::uint16_t count_[kSlots] = {};
    char32_t key_[kSlots];
    char32_t keys_[MaxDistinct];
    std::uint16_t slot_of_[MaxDistinct];
    std::size_t distinct_ = 0;
};

// Text in one script keeps most of its code points within one aligned
// window of this many.
constexpr char32_t kWindow = 1024;

// Whether more than 32 values look mostly like one script's: a sample of 16
// tells text in many scripts early, before a table for the window is made.
inline bool MostlyInOneWindow(const char32_t* values, std::size_t count) {
    if (count <= 32) return false;
    const char32_t base = values[count / 2] / kWindow * kWindow;
    std::size_t sampled_outside = 0;
    for (std::size_t i = 0; i < 16; ++i) sampled_outside += values[i * count / 16] - base >= kWindow;
    return sampled_outside <= 4;
}

// Calls visit(count) for each distinct value among `values`, in ascending
// order of value; `scratch` has room for as many. Text in one script keeps
// most of its code points within one aligned window: those are counted in a
// table, and only the others are sorted. Text that repeats a few code points
// is counted by value. Anything else is sorted whole. Kept out of line: its
// tables would otherwise enlarge the frame of every caller, which short
// texts without such code points then pay for.
template <typename Visit>
[[gnu::noinline]] void EachCountInOrder(char32_t* values, char32_t* scratch, std::size_t count, Visit visit) {
    if (count <= 32) {
        const char32_t* sorted = SortValues(values, scratch, count);
        return VisitRuns(sorted, sorted + count, visit);
    }
    const char32_t base = values[count / 2] / kWindow * kWindow;
    if (!MostlyInOneWindow(values, count)) {
        DistinctCounts<256> distinct;
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

}  // namespace ScanEngine::File::CodePointOrder
