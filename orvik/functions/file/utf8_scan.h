// UTF-8 as the entropy counts it: every byte string decodes one way, with a
// bad byte standing alone as U+FFFD. A sequence-by-sequence decoder for the
// ends of a text, and a block walker for the rest. Pure computation.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include <type_traits>

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

namespace Detail {

// Bit masks of one 64-byte block, by position p: which bytes are not ASCII,
// which start a valid sequence (any length, 3 or 4 bytes, 4 bytes), and
// which start an encoded surrogate (a valid 3-byte sequence that counts as
// U+FFFD). The 32-bit value of a sequence is written at its last byte.
struct BlockMasks {
    std::uint64_t not_ascii = 0, valid = 0, valid34 = 0, valid4 = 0, surrogate = 0;
};

inline __m128i Load(const unsigned char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }
inline __m128i Bytes(int value) { return _mm_set1_epi8(static_cast<char>(value)); }
// 0x80 to 0xBF are -128 to -65 as signed bytes.
inline __m128i Continuation(__m128i bytes) { return _mm_cmplt_epi8(bytes, Bytes(-64)); }

// Sixteen positions from `at`, which may read three bytes before and after
// them. Every position is decoded as if a sequence started there.
inline void DecodePositions(const unsigned char* at, unsigned shift, BlockMasks& masks, std::uint32_t* values) {
    const __m128i b0 = Load(at), b1 = Load(at + 1);
    // Lead classes as signed bytes: C2..DF, E0..EF, F0..F4.
    const __m128i above_c1 = _mm_cmpgt_epi8(b0, Bytes(0xC1 - 256));
    const __m128i above_df = _mm_cmpgt_epi8(b0, Bytes(0xDF - 256));
    const __m128i above_ef = _mm_cmpgt_epi8(b0, Bytes(0xEF - 256));
    const __m128i lead2 = _mm_andnot_si128(above_df, above_c1);
    const __m128i lead3 = _mm_andnot_si128(above_ef, above_df);
    const __m128i lead4 = _mm_and_si128(above_ef, _mm_cmplt_epi8(b0, Bytes(0xF5 - 256)));
    // The second byte bounds the value: E0 and F0 exclude overlongs, F4
    // passes U+10FFFF from 90 up, ED starts a surrogate from A0 up.
    const __m128i from_a0 = _mm_cmpgt_epi8(b1, Bytes(0x9F - 256));
    const __m128i from_90 = _mm_cmpgt_epi8(b1, Bytes(0x8F - 256));
    const __m128i out_of_range = _mm_or_si128(
        _mm_or_si128(_mm_andnot_si128(from_a0, _mm_cmpeq_epi8(b0, Bytes(0xE0))),
                     _mm_andnot_si128(from_90, _mm_cmpeq_epi8(b0, Bytes(0xF0)))),
        _mm_and_si128(from_90, _mm_cmpeq_epi8(b0, Bytes(0xF4))));
    const __m128i tail1 = Continuation(b1);
    const __m128i tail2 = _mm_and_si128(tail1, Continuation(Load(at + 2)));
    const __m128i four = _mm_and_si128(lead4, Continuation(Load(at + 3)));
    const __m128i valid34 = _mm_andnot_si128(out_of_range, _mm_and_si128(_mm_or_si128(lead3, four), tail2));
    const __m128i valid = _mm_or_si128(valid34, _mm_and_si128(lead2, tail1));
    const __m128i surrogate = _mm_and_si128(valid34, _mm_and_si128(from_a0, _mm_cmpeq_epi8(b0, Bytes(0xED))));
    const auto bits = [shift](__m128i mask) {
        return std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(mask))} << shift;
    };
    masks.not_ascii |= bits(b0);
    masks.valid |= bits(valid);
    masks.valid34 |= bits(valid34);
    masks.valid4 |= bits(_mm_and_si128(valid34, four));
    masks.surrogate |= bits(surrogate);

    // The value of a sequence ending at each position: the continuation
    // bytes just before it tell its length. Its bits go to three bytes,
    // low, high and top, from the last four bytes read backwards.
    const __m128i back1 = Load(at - 1), back2 = Load(at - 2), back3 = Load(at - 3);
    const __m128i length2 = Continuation(b0);
    const __m128i length3 = _mm_and_si128(length2, Continuation(back1));
    const __m128i length4 = _mm_and_si128(length3, Continuation(back2));
    const __m128i last = _mm_and_si128(b0, Bytes(0x7F));  // ASCII, or 6 bits of a continuation
    const __m128i second = _mm_and_si128(back1, length2);
    const __m128i third = _mm_and_si128(back2, length3);
    // 16-bit shifts move bits across bytes; the masks keep each byte's own.
    const __m128i low = _mm_or_si128(last, _mm_and_si128(_mm_slli_epi16(second, 6), Bytes(0xC0)));
    const __m128i high = _mm_or_si128(_mm_and_si128(_mm_slli_epi16(third, 4), Bytes(0xF0)),
                                      _mm_and_si128(_mm_srli_epi16(second, 2), Bytes(0x0F)));
    const __m128i top = _mm_and_si128(length4, _mm_or_si128(_mm_and_si128(_mm_slli_epi16(back3, 2), Bytes(0x1C)),
                                                            _mm_and_si128(_mm_srli_epi16(third, 4), Bytes(0x03))));
    const __m128i zero = _mm_setzero_si128();
    const __m128i low16[2] = {_mm_unpacklo_epi8(low, high), _mm_unpackhi_epi8(low, high)};
    const __m128i top16[2] = {_mm_unpacklo_epi8(top, zero), _mm_unpackhi_epi8(top, zero)};
    auto* out = reinterpret_cast<__m128i*>(values);
    for (unsigned half = 0; half < 2; ++half) {
        _mm_store_si128(out + 2 * half, _mm_unpacklo_epi16(low16[half], top16[half]));
        _mm_store_si128(out + 2 * half + 1, _mm_unpackhi_epi16(low16[half], top16[half]));
    }
}

// One block of 64 positions, 16 at a time, with the baseline instruction set.
inline void DecodeBlock(const unsigned char* at, BlockMasks& masks, std::uint32_t* values) {
    for (unsigned part = 0; part < 64; part += 16) DecodePositions(at + part, part, masks, values + part);
}

}  // namespace Detail

// What a block cannot hold, ASCII eight bytes at a time; returns the number
// of code points.
template <typename Sink>
std::uint64_t DecodeRest(const unsigned char* at, const unsigned char* const end, Sink& sink) {
    std::uint64_t total = 0;
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

// Decodes the whole text into `sink` (AddAsciiWord for eight ASCII bytes,
// Add for one code point; within a block of 64 bytes in no set order) and
// returns the number of code points. Decoding sequence by sequence visits a
// byte exactly when no valid sequence started before it covers it: every
// byte that is not a continuation byte is visited, so every valid lead is,
// and the covered bytes follow from the valid leads alone. A block is thus
// decoded at all its positions at once (by `DecodeBlock`: the baseline's,
// or a wider one); a sequence is counted at its last byte, a bad byte or
// surrogate as one U+FFFD.
//   With `CompactBlock` (a wider decoder's), the code points a block yields
// are packed side by side into a staging area and handed on a thousand at
// a time: no walk over each block's bits, whose end the processor cannot
// foresee. CompactBlock(values, ends, replaced, out) writes the values at
// the set bits of `ends`, then one U+FFFD per set bit of `replaced`, and
// returns how many it wrote.
template <auto DecodeBlock = &Detail::DecodeBlock, auto CompactBlock = nullptr, typename Sink>
std::uint64_t DecodeInto(const unsigned char* at, const unsigned char* const end, Sink& sink) {
    std::uint64_t total = 0;
    // A block reads three bytes before it and three after it.
    if (end - at < 64 + 6) return total + DecodeRest(at, end, sink);
    for (const unsigned char* const first = at + 3; at < first; ++total) {
        const Sequence sequence = DecodeSequence(at, static_cast<std::size_t>(end - at));
        sink.Add(sequence.code_point);
        at += sequence.length;
    }
    // Positions 0 to 2 of the next block covered by a sequence of this one,
    // and the last bytes of those sequences.
    std::uint64_t carried_covered = 0, carried_ends = 0;
    constexpr bool kCompacts = !std::is_same_v<decltype(CompactBlock), std::nullptr_t>;
    constexpr std::size_t kStaged = kCompacts ? 1024 : 0;
    alignas(32) std::uint32_t staged[kCompacts ? kStaged + 64 + 16 : 1];  // a block writes at most 80
    std::size_t staged_count = 0;
    const auto hand_on = [&] {
        for (std::size_t i = 0; i < staged_count; ++i) sink.Add(staged[i]);
        staged_count = 0;
    };
    while (end - at >= 64 + 3) {
        __m128i any_high = _mm_setzero_si128();
        for (unsigned part = 0; part < 64; part += 16) any_high = _mm_or_si128(any_high, Detail::Load(at + part));
        if (_mm_movemask_epi8(any_high) == 0) {
            // Nothing carries into a block of ASCII: it holds no continuation byte.
            for (unsigned part = 0; part < 64; part += 8) {
                std::uint64_t word;
                std::memcpy(&word, at + part, sizeof word);
                sink.AddAsciiWord(word);
            }
            at += 64;
            total += 64;
            continue;
        }
        alignas(16) std::uint32_t values[64];
        Detail::BlockMasks masks;
        DecodeBlock(at, masks, values);
        const std::uint64_t valid2 = masks.valid & ~masks.valid34;
        const std::uint64_t valid3 = masks.valid34 & ~masks.valid4 & ~masks.surrogate;
        const std::uint64_t covered = masks.valid << 1 | masks.valid34 << 2 | masks.valid4 << 3 | carried_covered;
        const std::uint64_t ends = ~masks.not_ascii | valid2 << 1 | valid3 << 2 | masks.valid4 << 3 | carried_ends;
        const std::uint64_t bad = ~covered & masks.not_ascii & ~masks.valid;
        carried_covered = masks.valid >> 63 | masks.valid34 >> 62 | masks.valid4 >> 61;
        carried_ends = valid2 >> 63 | valid3 >> 62 | masks.valid4 >> 61;
        if constexpr (kCompacts) {
            const std::size_t written = CompactBlock(values, ends, bad | masks.surrogate, staged + staged_count);
            staged_count += written;
            total += written;
            if (staged_count >= kStaged) hand_on();
        } else {
            // Counted as they are visited: the processor has no population
            // count in the baseline instruction set.
            for (std::uint64_t bits = ends; bits != 0; bits &= bits - 1, ++total)
                sink.Add(values[std::countr_zero(bits)]);
            for (std::uint64_t bits = bad | masks.surrogate; bits != 0; bits &= bits - 1, ++total)
                sink.Add(kReplacement);
        }
        at += 64;
    }
    hand_on();
    // A sequence cut by the last block (a surrogate was counted at its lead).
    if (carried_ends != 0) {
        const unsigned char* lead = at - 1;
        while (IsContinuation(*lead)) --lead;
        sink.Add(DecodeSequence(lead, static_cast<std::size_t>(end - lead)).code_point);
        ++total;
    }
    at += std::popcount(carried_covered);
    return total + DecodeRest(at, end, sink);
}

}  // namespace ScanEngine::File::Utf8Scan
