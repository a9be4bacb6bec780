// TLSH update, AVX-512 VBMI: the indices of 64 positions at once. vpermi2b
// looks up 128 bytes from two registers; the index's bit 7 picks the half.
#include <immintrin.h>

#include "tlsh/tlsh_kernel.h"

namespace Tlsh::Kernel {
namespace {

#define TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))

TARGET inline __m512i Lookup(const __m512i* t, __m512i x) {
    const __m512i low = _mm512_permutex2var_epi8(t[0], x, t[1]), high = _mm512_permutex2var_epi8(t[2], x, t[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

// As in the AVX2 path: the first round mixes the newest byte a[0], the second a[k].
TARGET inline __m512i Salted(const __m512i* t, const __m512i* a, int s, int k) {
    const __m512i first = Lookup(t, _mm512_xor_si512(a[0], _mm512_set1_epi8(static_cast<char>(kSaltSeed[s]))));
    return Lookup(t, _mm512_xor_si512(first, a[k]));
}

}  // namespace

TARGET std::size_t UpdateAvx512Vbmi(Run& run, const std::uint8_t* data, std::size_t from, std::size_t to) {
    constexpr std::size_t kBlock = 64;
    if (to - from < kBlock) return from;
    __m512i t[4];
    for (int k = 0; k < 4; ++k) t[k] = _mm512_loadu_si512(kPearson.data() + 64 * k);
    Rows<kBlock> rows[2];
    constexpr std::size_t kEights = kBlock / 8;
    std::size_t i = from;
    int b = 0;  // the rows being filled; the other ones are counted meanwhile
    for (; to - i >= kBlock; i += kBlock, b ^= 1) {
        __m512i a[5];
        for (int k = 0; k < 5; ++k) a[k] = _mm512_loadu_si512(data + i - k);
        for (int s = 0; s < 7; ++s) {
            const __m512i v = Salted(t, a, s, kSecond[s]);
            _mm512_storeu_si512(rows[b][s], s == 0 ? v : _mm512_xor_si512(v, a[kLast[s]]));
            if (i > from) CountEights<kBlock>(run, rows[b ^ 1], s * kEights / 7, (s + 1) * kEights / 7);
        }
    }
    return FinishBlocks<kBlock>(run, rows[b ^ 1], data, i);
}

}  // namespace Tlsh::Kernel
