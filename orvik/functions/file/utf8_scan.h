// UTF-8 as the entropy counts it: every byte string decodes one way, with a
// bad byte standing alone as U+FFFD. A sequence-by-sequence decoder for the
// ends of a text, and a block walker for the rest. Pure computation.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>

namespace ScanEngine::File::Utf8Scan {

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
inline Sequence DecodeSequence(const unsigned char* at, std::size_t left) {
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
        __m128i parts[4];
        __m128i any_high = _mm_setzero_si128();
        for (unsigned part = 0; part < 4; ++part) {
            parts[part] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * part));
            any_high = _mm_or_si128(any_high, parts[part]);
        }
        if (_mm_movemask_epi8(any_high) == 0) {
            for (unsigned part = 0; part < 64; part += 8) {
                std::uint64_t word;
                std::memcpy(&word, at + part, sizeof word);
                sink.AddAsciiWord(word);
            }
            at += 64;
            total += 64;
            continue;
        }
        std::uint64_t continuation = 0;
        for (unsigned part = 0; part < 4; ++part) {
            // 0x80 to 0xBF are -128 to -65 as signed bytes: the continuation bytes.
            const int tail = _mm_movemask_epi8(_mm_cmplt_epi8(parts[part], _mm_set1_epi8(-64)));
            continuation |= std::uint64_t{static_cast<std::uint16_t>(tail)} << (16 * part);
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

}  // namespace ScanEngine::File::Utf8Scan
