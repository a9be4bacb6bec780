// TLSH update, AVX2: the indices of 32 positions at once, with the table
// lookups done by byte shuffles of 16-byte slices.
#include <immintrin.h>

#include <array>
#include <bit>
#include <cstring>

#include "common/pack_order.h"
#include "tlsh/tlsh_kernel.h"

namespace Tlsh::Kernel {
namespace {

#define TARGET __attribute__((target("avx2,popcnt")))

// vpshufb looks up 16 bytes by an index's low four bits, and gives 0 where
// the index's bit 7 is set. Within a half of the table (x below 128), the
// index x - 16k saturated to a signed byte is non-negative exactly for the
// slices k up to x's, so XOR over all k of slice-difference k (slice k XOR
// slice k - 1) leaves x's own slice; in the other half, x is negative as a
// signed byte and every index saturates to -128. x ^ 0x80 does the upper half.
struct Slices {
    __m256i d[16];  // differences 0-7 of the lower half, 8-15 of the upper half, in both 128-bit lanes
};

constexpr std::array<std::uint8_t, 256> kSliceDifferences = [] {
    std::array<std::uint8_t, 256> d{};
    for (unsigned x = 0; x < 256; ++x)
        d[x] = static_cast<std::uint8_t>(x % 128 < 16 ? kPearson[x] : kPearson[x] ^ kPearson[x - 16]);
    return d;
}();

TARGET inline __m256i Lookup(const Slices& t, __m256i x) {
    const __m256i sixteen = _mm256_set1_epi8(16);
    __m256i low = x, high = _mm256_xor_si256(x, _mm256_set1_epi8(static_cast<char>(0x80)));
    __m256i sum = _mm256_xor_si256(_mm256_shuffle_epi8(t.d[0], low), _mm256_shuffle_epi8(t.d[8], high));
    for (int k = 1; k < 8; ++k) {
        low = _mm256_subs_epi8(low, sixteen);
        high = _mm256_subs_epi8(high, sixteen);
        sum = _mm256_xor_si256(sum, _mm256_xor_si256(_mm256_shuffle_epi8(t.d[k], low), _mm256_shuffle_epi8(t.d[8 + k], high)));
    }
    return sum;
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

// Whether each of 32 indices is coded (a byte of ones if so): the byte of the
// set is picked by bits 3-6 from either half, by bit 7, and masked with bit
// (0-2) of the index.
struct CodedTest {
    __m256i low, high, bits;
};

TARGET inline __m256i Coded(const CodedTest& test, __m256i z) {
    const __m256i at = _mm256_and_si256(_mm256_srli_epi16(z, 3), _mm256_set1_epi8(0x0F));
    const __m256i byte =
        _mm256_blendv_epi8(_mm256_shuffle_epi8(test.low, at), _mm256_shuffle_epi8(test.high, at), z);
    const __m256i bit = _mm256_shuffle_epi8(test.bits, _mm256_and_si256(z, _mm256_set1_epi8(7)));
    return _mm256_cmpeq_epi8(_mm256_and_si256(byte, bit), bit);
}

// Appends the bytes of z whose mask bit is set to out[n...], in groups of
// eight gathered with a byte shuffle (order within the stream does not
// matter); returns the new end. Writes up to 16 bytes past it.
TARGET inline std::size_t Append(__m256i z, std::uint32_t mask, std::uint8_t* out, std::size_t n) {
    for (int h = 0; h < 2; ++h, mask >>= 16) {
        const __m128i v = h == 0 ? _mm256_castsi256_si128(z) : _mm256_extracti128_si256(z, 1);
        const unsigned low = mask & 0xFF, high = mask >> 8 & 0xFF;
        const __m128i order = _mm_set_epi64x(static_cast<long long>(Common::kPackOrder[high] + 0x0808080808080808),
                                             static_cast<long long>(Common::kPackOrder[low]));
        const __m128i packed = _mm_shuffle_epi8(v, order);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), packed);
        n += static_cast<std::size_t>(std::popcount(low));
        _mm_storeh_pi(reinterpret_cast<__m64*>(out + n), _mm_castsi128_ps(packed));
        n += static_cast<std::size_t>(std::popcount(high));
    }
    return n;
}

constexpr std::size_t kBlock = 32;

}  // namespace

TARGET std::size_t UpdateAvx2(Run& shared, const std::uint8_t* data, std::size_t from, std::size_t to) {
    if (to - from < kBlock) return from;
    // The state in a local: the vector stores go through byte pointers, which
    // may alias anything, so the caller's checksum and count pointer would be
    // reloaded and stored around every part of the chain.
    Run run = shared;
    Slices t;
    for (int k = 0; k < 16; ++k)
        t.d[k] = _mm256_broadcastsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSliceDifferences.data() + 16 * k)));
    CodedTest test;
    test.low = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kCodedSet.data())));
    test.high = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(kCodedSet.data() + 16)));
    test.bits = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0,  //
                                 1, 2, 4, 8, 16, 32, 64, -128, 0, 0, 0, 0, 0, 0, 0, 0);
    Block<kBlock> blocks[2];
    std::size_t i = from;
    int b = 0;  // the block being filled; the other one is counted meanwhile
    for (; to - i >= kBlock; i += kBlock, b ^= 1) {
        // a[k] holds, for each position, the byte k places before it.
        __m256i a[5], first[7];
        for (int k = 1; k < 5; ++k) a[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i - k));
        FirstRounds(data + i, first);
        Block<kBlock>& block = blocks[b];
        std::size_t n = 0;
#pragma GCC unroll 7
        for (int s = 0; s < 7; ++s) {
            const __m256i v = Lookup(t, _mm256_xor_si256(first[s], a[kSecond[s]]));
            if (s == 0) {
                _mm256_store_si256(reinterpret_cast<__m256i*>(block.checks), v);
            } else {
                const __m256i z = _mm256_xor_si256(v, a[kLast[s]]);
                n = Append(z, static_cast<std::uint32_t>(_mm256_movemask_epi8(Coded(test, z))), block.coded, n);
            }
            if (i > from) CountPart(run, blocks[b ^ 1], s);
        }
        std::memset(block.coded + n, kUncodedIndex, 8);
        block.groups = (n + 7) / 8;
    }
    i = Finish(run, blocks[b ^ 1], data, i);
    shared = run;
    return i;
}

}  // namespace Tlsh::Kernel
