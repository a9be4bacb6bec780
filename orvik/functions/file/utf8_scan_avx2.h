// The UTF-8 block walker's decoding of 64 positions, 32 at a time with AVX2:
// the same masks and values as the baseline decoder, for processors that
// have the instructions. Pure computation.
#pragma once

#include <array>
#include <bit>
#include <immintrin.h>

#include "common/pack_order.h"
#include "utf8_scan.h"

namespace ScanEngine::File::Utf8Scan::Detail {
// Each file that includes this has its own copies, built with its own
// options: the linker cannot pick one built for another setting.
namespace {

#define ORVIK_AVX2 __attribute__((target("avx2")))

ORVIK_AVX2 inline __m256i Load32(const unsigned char* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}
ORVIK_AVX2 inline __m256i Bytes32(int value) { return _mm256_set1_epi8(static_cast<char>(value)); }
// As signed bytes, 0x80 to 0xBF are -128 to -65.
ORVIK_AVX2 inline __m256i Continuation32(__m256i bytes) { return _mm256_cmpgt_epi8(Bytes32(-64), bytes); }
ORVIK_AVX2 inline __m256i Above(__m256i bytes, int value) { return _mm256_cmpgt_epi8(bytes, Bytes32(value - 256)); }
ORVIK_AVX2 inline std::uint64_t Bits32(__m256i mask, unsigned shift) {
    return std::uint64_t{static_cast<std::uint32_t>(_mm256_movemask_epi8(mask))} << shift;
}

// Thirty-two positions from `at`, reading three bytes before and after,
// each decoded as if a sequence started there; as DecodePositions.
ORVIK_AVX2 inline void DecodePositions32(const unsigned char* at, unsigned shift, BlockMasks& masks,
                                         std::uint32_t* values) {
    const __m256i b0 = Load32(at), b1 = Load32(at + 1);
    const __m256i above_c1 = Above(b0, 0xC1), above_df = Above(b0, 0xDF), above_ef = Above(b0, 0xEF);
    const __m256i lead2 = _mm256_andnot_si256(above_df, above_c1);
    const __m256i lead3 = _mm256_andnot_si256(above_ef, above_df);
    const __m256i lead4 = _mm256_andnot_si256(Above(b0, 0xF4), above_ef);
    const __m256i from_a0 = Above(b1, 0x9F), from_90 = Above(b1, 0x8F);
    const __m256i out_of_range = _mm256_or_si256(
        _mm256_or_si256(_mm256_andnot_si256(from_a0, _mm256_cmpeq_epi8(b0, Bytes32(0xE0))),
                        _mm256_andnot_si256(from_90, _mm256_cmpeq_epi8(b0, Bytes32(0xF0)))),
        _mm256_and_si256(from_90, _mm256_cmpeq_epi8(b0, Bytes32(0xF4))));
    const __m256i tail1 = Continuation32(b1);
    const __m256i tail2 = _mm256_and_si256(tail1, Continuation32(Load32(at + 2)));
    const __m256i four = _mm256_and_si256(lead4, Continuation32(Load32(at + 3)));
    const __m256i valid34 =
        _mm256_andnot_si256(out_of_range, _mm256_and_si256(_mm256_or_si256(lead3, four), tail2));
    const __m256i valid = _mm256_or_si256(valid34, _mm256_and_si256(lead2, tail1));
    const __m256i surrogate =
        _mm256_and_si256(valid34, _mm256_and_si256(from_a0, _mm256_cmpeq_epi8(b0, Bytes32(0xED))));
    masks.not_ascii |= Bits32(b0, shift);
    masks.valid |= Bits32(valid, shift);
    masks.valid34 |= Bits32(valid34, shift);
    masks.valid4 |= Bits32(_mm256_and_si256(valid34, four), shift);
    masks.surrogate |= Bits32(surrogate, shift);

    const __m256i back1 = Load32(at - 1), back2 = Load32(at - 2), back3 = Load32(at - 3);
    const __m256i length2 = Continuation32(b0);
    const __m256i length3 = _mm256_and_si256(length2, Continuation32(back1));
    const __m256i length4 = _mm256_and_si256(length3, Continuation32(back2));
    const __m256i last = _mm256_and_si256(b0, Bytes32(0x7F));
    const __m256i second = _mm256_and_si256(back1, length2);
    const __m256i third = _mm256_and_si256(back2, length3);
    const __m256i low = _mm256_or_si256(last, _mm256_and_si256(_mm256_slli_epi16(second, 6), Bytes32(0xC0)));
    const __m256i high = _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(third, 4), Bytes32(0xF0)),
                                         _mm256_and_si256(_mm256_srli_epi16(second, 2), Bytes32(0x0F)));
    const __m256i top =
        _mm256_and_si256(length4, _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(back3, 2), Bytes32(0x1C)),
                                                  _mm256_and_si256(_mm256_srli_epi16(third, 4), Bytes32(0x03))));
    // Unpacking works within each 128-bit half: the four words hold
    // positions 0-3 and 16-19, 4-7 and 20-23, 8-11 and 24-27, 12-15 and 28-31.
    const __m256i zero = _mm256_setzero_si256();
    const __m256i low16[2] = {_mm256_unpacklo_epi8(low, high), _mm256_unpackhi_epi8(low, high)};
    const __m256i top16[2] = {_mm256_unpacklo_epi8(top, zero), _mm256_unpackhi_epi8(top, zero)};
    __m256i words[4];
    for (unsigned half = 0; half < 2; ++half) {
        words[2 * half] = _mm256_unpacklo_epi16(low16[half], top16[half]);
        words[2 * half + 1] = _mm256_unpackhi_epi16(low16[half], top16[half]);
    }
    auto* out = reinterpret_cast<__m256i*>(values);
    _mm256_storeu_si256(out, _mm256_permute2x128_si256(words[0], words[1], 0x20));
    _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(words[2], words[3], 0x20));
    _mm256_storeu_si256(out + 2, _mm256_permute2x128_si256(words[0], words[1], 0x31));
    _mm256_storeu_si256(out + 3, _mm256_permute2x128_si256(words[2], words[3], 0x31));
}

ORVIK_AVX2 inline void DecodeBlockAvx2(const unsigned char* at, BlockMasks& masks, std::uint32_t* values) {
    DecodePositions32(at, 0, masks, values);
    DecodePositions32(at + 32, 32, masks, values + 32);
}

using Common::kPackOrder;

// The block walker's packing step: the values at the set bits of `ends`
// side by side, then one U+FFFD per set bit of `replaced` (rare outside
// damaged text: sixteen are written at once, more one by one). `out` has
// room for 80 values.
[[gnu::target("avx2,popcnt")]] inline std::size_t CompactBlockAvx2(const std::uint32_t* values, std::uint64_t ends,
                                                                    std::uint64_t replaced, std::uint32_t* out) {
    std::size_t written = 0;
    for (unsigned group = 0; group < 64; group += 8) {
        const unsigned mask = static_cast<unsigned>(ends >> group) & 0xFF;
        const __m256i order = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(kPackOrder[mask])));
        const __m256i packed = _mm256_permutevar8x32_epi32(Load32(reinterpret_cast<const unsigned char*>(values + group)), order);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + written), packed);
        written += static_cast<std::size_t>(std::popcount(mask));
    }
    const __m256i replacement = _mm256_set1_epi32(static_cast<int>(kReplacement));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + written), replacement);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + written + 8), replacement);
    const std::size_t bad = static_cast<std::size_t>(std::popcount(replaced));
    for (std::size_t extra = 16; extra < bad; ++extra) out[written + extra] = kReplacement;
    return written + bad;
}

#undef ORVIK_AVX2

}  // namespace
}  // namespace ScanEngine::File::Utf8Scan::Detail
