// TLSH update, AVX-512 VBMI and VBMI2: the indices of 64 positions at once.
// vpermi2b looks up 128 bytes from two registers; the index's bit 7 picks the
// half. The last round tells which triplets fall in coded buckets (half of
// them); only those are kept, packed with vpcompressb, so the scalar counting
// that follows does half the stores.
#include <immintrin.h>

#include <bit>
#include <cstring>

#include "tlsh/tlsh_kernel.h"

namespace Tlsh::Kernel {
namespace {

#define TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,popcnt")))

TARGET inline __m512i Lookup(const __m512i* t, __m512i x) {
    const __m512i low = _mm512_permutex2var_epi8(t[0], x, t[1]), high = _mm512_permutex2var_epi8(t[2], x, t[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

// As in the AVX2 path: the first round mixes the newest byte a[0], the second a[k].
TARGET inline __m512i Salted(const __m512i* t, const __m512i* a, int s, int k) {
    const __m512i first = Lookup(t, _mm512_xor_si512(a[0], _mm512_set1_epi8(static_cast<char>(kSaltSeed[s]))));
    return Lookup(t, _mm512_xor_si512(first, a[k]));
}

constexpr std::size_t kBlock = 64;

}  // namespace

TARGET std::size_t UpdateAvx512Vbmi(Run& shared, const std::uint8_t* data, std::size_t from, std::size_t to) {
    if (to - from < kBlock) return from;
    Run run = shared;  // see UpdateAvx2
    __m512i t[4];
    for (int k = 0; k < 4; ++k) t[k] = _mm512_loadu_si512(kPearson.data() + 64 * k);
    Block<kBlock> blocks[2];
    std::size_t i = from;
    int b = 0;  // the block being filled; the other one is counted meanwhile
    for (; to - i >= kBlock; i += kBlock, b ^= 1) {
        __m512i a[5];
        for (int k = 0; k < 5; ++k) a[k] = _mm512_loadu_si512(data + i - k);
        Block<kBlock>& block = blocks[b];
        std::size_t n = 0;
        // Unrolled, the salts' tables are constants and a[] stays in registers:
        // left a loop (the compiler keeps it one), the path ran 8-18 % slower.
#pragma GCC unroll 7
        for (int s = 0; s < 7; ++s) {
            const __m512i v = Salted(t, a, s, kSecond[s]);
            if (s == 0) {
                _mm512_store_si512(block.checks, v);
            } else {
                const __m512i z = _mm512_xor_si512(v, a[kLast[s]]);
                const __mmask64 coded = ~_mm512_movepi8_mask(Lookup(t, z));
                _mm512_storeu_si512(block.coded + n, _mm512_maskz_compress_epi8(coded, z));
                n += static_cast<std::size_t>(std::popcount(coded));
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
