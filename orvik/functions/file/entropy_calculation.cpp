#include "entropy_calculation.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>

#include "common/non_copyable.h"

namespace ScanEngine::File {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

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

// The same decoding without a branch on the kind of sequence, for text where
// the kinds alternate unpredictably. The lead byte selects a row of limits;
// the candidate value of that length is formed from four bytes and kept only
// if its continuation bytes and its range fit. Needs four readable bytes.
struct LeadClass {
    std::uint32_t lead_bits;   // value bits of the lead byte
    std::uint32_t tail_mask;   // top bits of the continuation bytes, in a little-endian word of four bytes
    std::uint32_t tail_want;   // what they must be
    std::uint32_t shift;       // from a four-byte value down to this length
    std::uint32_t minimum, maximum;
    std::uint32_t length;
};

constexpr LeadClass kLeadClasses[] = {
    {0x00, 0, 0, 0, 1, 0, 1},                                    // starts nothing: never valid
    {0x7F, 0, 0, 18, 0, 0x7F, 1},                                // 0xxxxxxx
    {0x1F, 0xC000, 0x8000, 12, 0x80, 0x7FF, 2},                  // 110xxxxx
    {0x0F, 0xC0C000, 0x808000, 6, 0x800, 0xFFFF, 3},             // 1110xxxx
    {0x07, 0xC0C0C000, 0x80808000, 0, 0x10000, 0x10FFFF, 4},     // 11110xxx
};

constexpr std::array<std::uint8_t, 256> MakeLeadTable() {
    std::array<std::uint8_t, 256> table{};
    for (unsigned byte = 0; byte < 256; ++byte)
        table[byte] = byte < 0x80                ? 1
                      : (byte & 0xE0) == 0xC0    ? 2
                      : (byte & 0xF0) == 0xE0    ? 3
                      : (byte & 0xF8) == 0xF0    ? 4
                                                 : 0;
    return table;
}
constexpr std::array<std::uint8_t, 256> kLeadTable = MakeLeadTable();

inline Sequence DecodeWithinText(const unsigned char* at) {
    std::uint32_t word = 0;
    for (unsigned i = 0; i < 4; ++i) word |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    const LeadClass& lead = kLeadClasses[kLeadTable[at[0]]];
    const std::uint32_t value = (((at[0] & lead.lead_bits) << 18) | ((at[1] & 0x3Fu) << 12) |
                                 ((at[2] & 0x3Fu) << 6) | (at[3] & 0x3Fu)) >> lead.shift;
    const bool valid = (word & lead.tail_mask) == lead.tail_want && value >= lead.minimum && value <= lead.maximum;
    const bool surrogate = (value & 0xFFFFF800u) == 0xD800;
    Sequence sequence{surrogate ? kReplacement : value, lead.length};
    if (!valid) sequence = {kReplacement, 1};
    return sequence;
}

// Occurrences per code point, in pages of 256 code points made on first use,
// so memory follows the scripts a text uses. Page 0 comes in lanes, so that a
// run of one ASCII character does not wait on its own increments. Walking the
// pages in index order visits code points in ascending order.
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
        for (std::size_t index = 1; index < kPages; ++index) {
            const std::uint64_t* page = pages_[index];
            if (page == nullptr) continue;
            for (std::size_t c = 0; c < kPageSize; ++c)
                if (page[c] != 0) visit(page[c]);
        }
    }

private:
    static constexpr std::size_t kLanes = 4;
    static constexpr std::size_t kPageSize = 256;
    static constexpr std::size_t kPages = 0x110000 / kPageSize;

    std::uint64_t* MakePage(std::size_t index) {
        if (!storage_) storage_ = std::make_unique<std::unique_ptr<std::uint64_t[]>[]>(kPages);
        storage_[index] = std::make_unique<std::uint64_t[]>(kPageSize);  // zero-filled
        return storage_[index].get();
    }

    std::array<std::array<std::uint64_t, kPageSize>, kLanes> lanes_{};
    std::array<std::uint64_t*, kPages> pages_{lanes_[0].data()};  // page 0 is the first lane
    std::unique_ptr<std::unique_ptr<std::uint64_t[]>[]> storage_;  // owns pages 1 and up
};

}  // namespace

TextEntropy MeasureEntropy(std::string_view text) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    auto at = reinterpret_cast<const unsigned char*>(text.data());
    const unsigned char* const end = at + text.size();
    // About 42 KiB of tables: on the heap, so deep host stacks are not needed.
    const auto counts = std::make_unique<CodePointCounts>();
    std::uint64_t total = 0;
    while (end - at >= 8) {
        // Plain ASCII goes eight bytes at a time.
        std::uint64_t word;
        std::memcpy(&word, at, sizeof word);
        if ((word & kHighBits) == 0) {
            counts->AddAsciiWord(word);
            at += 8;
            total += 8;
            continue;
        }
        const Sequence sequence = DecodeWithinText(at);
        counts->Add(sequence.code_point);
        at += sequence.length;
        ++total;
    }
    while (at != end) {
        const Sequence sequence = DecodeSequence(at, static_cast<std::size_t>(end - at));
        counts->Add(sequence.code_point);
        at += sequence.length;
        ++total;
    }

    TextEntropy result;
    result.length = total;
    if (total == 0) return result;
    const auto n = static_cast<double>(total);
    double sum = 0;
    counts->EachInOrder([&](std::uint64_t count) {
        const double p = static_cast<double>(count) / n;
        sum += std::log(p) * p / std::numbers::ln2;
    });
    result.entropy = std::llround(-sum * 100);
    return result;
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
