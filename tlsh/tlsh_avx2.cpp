// TLSH update, AVX2: the indices of 32 positions at once. vpshufb looks up 16
// bytes; a 256-byte table is 16 slices chosen by the index's high nibble.
#include <immintrin.h>

#include <cstring>

#include "tlsh/tlsh_kernel.h"

namespace Tlsh::Kernel {
namespace {

#define TARGET __attribute__((target("avx2")))

struct Slices {
    __m256i s[16];  // kPearson[16k..16k+15] in both 128-bit halves
};

TARGET inline __m256i Lookup(const Slices& t, __m256i x) {
    // vpshufb gives 0 where bit 7 is set: slices 0-7 read x, slices 8-15 read
    // x ^ 0x80, and each half is zero outside its range, so OR joins them.
    // Within a half, blends by bits 4, 5 and 6 (moved to bit 7) pick a slice.
    const __m256i high = _mm256_xor_si256(x, _mm256_set1_epi8(static_cast<char>(0x80)));
    const __m256i bit4 = _mm256_slli_epi16(x, 3), bit5 = _mm256_slli_epi16(x, 2), bit6 = _mm256_slli_epi16(x, 1);
    __m256i half[2];
    for (int h = 0; h < 2; ++h) {
        const __m256i i = h == 0 ? x : high;
        const __m256i* s = t.s + 8 * h;
        __m256i q[4];
        for (int k = 0; k < 4; ++k)
            q[k] = _mm256_blendv_epi8(_mm256_shuffle_epi8(s[2 * k], i), _mm256_shuffle_epi8(s[2 * k + 1], i), bit4);
        half[h] = _mm256_blendv_epi8(_mm256_blendv_epi8(q[0], q[1], bit5), _mm256_blendv_epi8(q[2], q[3], bit5), bit6);
    }
    return _mm256_or_si256(half[0], half[1]);
}

// The first rounds of 32 positions as vectors: the positions' salt-row words
// (one load each, cheaper than seven lookups) transposed as 8x8 bytes in
// each 128-bit half by unpacking bytes, words, double and quad words.
// Vector m starts with positions m and m + 8 (m + 16 and m + 24 in the upper
// half), so each result holds one salt for the 32 positions in order.
TARGET inline void FirstRounds(const std::uint8_t* data, __m256i (&rows)[7]) {
    std::uint64_t bytes[4];
    std::memcpy(bytes, data, sizeof bytes);
    const auto word = [&bytes](int q, int m) { return static_cast<long long>(kSaltRows[bytes[q] >> (8 * m) & 0xFF]); };
    __m256i v[8], u[8];
    for (int m = 0; m < 8; ++m) v[m] = _mm256_set_epi64x(word(3, m), word(2, m), word(1, m), word(0, m));
    for (int k = 0; k < 8; k += 2) {
        u[k] = _mm256_unpacklo_epi8(v[k], v[k + 1]);
        u[k + 1] = _mm256_unpackhi_epi8(v[k], v[k + 1]);
    }
    for (int k : {0, 1, 4, 5}) {
        v[k] = _mm256_unpacklo_epi16(u[k], u[k + 2]);
        v[k + 2] = _mm256_unpackhi_epi16(u[k], u[k + 2]);
    }
    for (int k = 0; k < 4; ++k) {
        u[k] = _mm256_unpacklo_epi32(v[k], v[k + 4]);
        u[k + 4] = _mm256_unpackhi_epi32(v[k], v[k + 4]);
    }
    // Pairs of quad words: salts 0 and 1 from u[0], u[1]; 4 and 5 from u[2], u[3]; 2 and 3 from u[4], u[5]; 6
    // (and the unused eighth byte) from u[6], u[7].
    rows[0] = _mm256_unpacklo_epi64(u[0], u[1]);
    rows[1] = _mm256_unpackhi_epi64(u[0], u[1]);
    rows[2] = _mm256_unpacklo_epi64(u[4], u[5]);
    rows[3] = _mm256_unpackhi_epi64(u[4], u[5]);
    rows[4] = _mm256_unpacklo_epi64(u[2], u[3]);
    rows[5] = _mm256_unpackhi_epi64(u[2], u[3]);
    rows[6] = _mm256_unpacklo_epi64(u[6], u[7]);
}

}  // namespace

TARGET std::size_t UpdateAvx2(Run& run, const std::uint8_t* data, std::size_t from, std::size_t to) {
    constexpr std::size_t kBlock = 32;
    if (to - from < kBlock) return from;
    Slices t;
    for (int k = 0; k < 16; ++k)
        t.s[k] = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kPearson.data() + 16 * k)));
    Rows<kBlock> rows[2];
    constexpr std::size_t kEights = kBlock / 8;
    std::size_t i = from;
    int b = 0;  // the rows being filled; the other ones are counted meanwhile
    for (; to - i >= kBlock; i += kBlock, b ^= 1) {
        // a[k] holds, for each position, the byte k places before it.
        __m256i a[5], first[7];
        for (int k = 1; k < 5; ++k) a[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i - k));
        FirstRounds(data + i, first);
#pragma GCC unroll 7
        for (int s = 0; s < 7; ++s) {
            const __m256i v = Lookup(t, _mm256_xor_si256(first[s], a[kSecond[s]]));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(rows[b][s]), s == 0 ? v : _mm256_xor_si256(v, a[kLast[s]]));
            if (i > from) CountEights<kBlock>(run, rows[b ^ 1], s * kEights / 7, (s + 1) * kEights / 7);
        }
    }
    return FinishBlocks<kBlock>(run, rows[b ^ 1], data, i);
}

}  // namespace Tlsh::Kernel
