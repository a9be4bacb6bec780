#include "tlsh/tlsh.h"

#include <algorithm>

namespace Tlsh {
namespace {

// The permutation of 0..255 published with Pearson hashing (1990): the mixing
// step of every mapping below.
constexpr std::array<std::uint8_t, 256> kPearson = {
    1,   87,  49,  12,  176, 178, 102, 166, 121, 193, 6,   84,  249, 230, 44,  163, 14,  197, 213, 181, 161, 85,
    218, 80,  64,  239, 24,  226, 236, 142, 38,  200, 110, 177, 104, 103, 141, 253, 255, 50,  77,  101, 81,  18,
    45,  96,  31,  222, 25,  107, 190, 70,  86,  237, 240, 34,  72,  242, 20,  214, 244, 227, 149, 235, 97,  234,
    57,  22,  60,  250, 82,  175, 208, 5,   127, 199, 111, 62,  135, 248, 174, 169, 211, 58,  66,  154, 106, 195,
    245, 171, 17,  187, 182, 179, 0,   243, 132, 56,  148, 75,  128, 133, 158, 100, 130, 126, 91,  13,  153, 246,
    216, 219, 119, 68,  223, 78,  83,  88,  201, 99,  122, 11,  92,  32,  136, 114, 52,  10,  138, 30,  48,  183,
    156, 35,  61,  26,  143, 74,  251, 94,  129, 162, 63,  152, 170, 7,   115, 167, 241, 206, 3,   150, 55,  59,
    151, 220, 90,  53,  23,  131, 125, 173, 15,  238, 79,  95,  89,  16,  105, 137, 225, 224, 217, 160, 37,  123,
    118, 73,  2,   157, 46,  116, 9,   145, 134, 228, 207, 212, 202, 215, 69,  229, 27,  188, 67,  124, 168, 252,
    42,  4,   29,  108, 21,  247, 19,  205, 39,  203, 233, 40,  186, 147, 198, 192, 155, 33,  164, 191, 98,  204,
    165, 180, 117, 76,  140, 36,  210, 172, 41,  54,  159, 8,   185, 232, 113, 196, 231, 47,  146, 120, 51,  65,
    28,  144, 254, 221, 93,  189, 194, 139, 112, 43,  71,  109, 184, 209,
};

// A bucket is the Pearson hash of (salt, a, b, c). Its first two rounds
// depend on the salt and the newest byte only: one row of eight per byte.
constexpr std::array<std::uint8_t, 7> kSalts = {0, 2, 3, 5, 7, 11, 13};  // 0 is the checksum's
constexpr std::array<std::uint8_t, 256 * 8> MakeSaltRows() {
    std::array<std::uint8_t, 256 * 8> rows{};
    for (unsigned x = 0; x < 256; ++x)
        for (unsigned s = 0; s < kSalts.size(); ++s) rows[x * 8 + s] = kPearson[kPearson[kSalts[s]] ^ x];
    return rows;
}
constexpr auto kSaltRows = MakeSaltRows();

// kLengthTop[i] is the largest input length whose code is i: the digest
// format's fixed length table. It is not the output of a formula (a log
// formula departs from it at 86 of the 170 thresholds), so it is kept whole.
constexpr std::array<std::uint32_t, 170> kLengthTop = {
    1,          2,          3,          5,          7,          11,         17,         25,         38,
    57,         86,         129,        194,        291,        437,        656,        854,        1110,
    1443,       1876,       2439,       3171,       3475,       3823,       4205,       4626,       5088,
    5597,       6157,       6772,       7450,       8195,       9014,       9916,       10907,      11998,
    13198,      14518,      15970,      17567,      19323,      21256,      23382,      25720,      28292,
    31121,      34233,      37656,      41422,      45564,      50121,      55133,      60646,      66711,
    73382,      80721,      88793,      97672,      107439,     118183,     130002,     143002,     157302,
    173032,     190335,     209369,     230306,     253337,     278670,     306538,     337191,     370911,
    408002,     448802,     493682,     543050,     597356,     657091,     722800,     795081,     874589,
    962048,     1058252,    1164078,    1280486,    1408534,    1549388,    1704327,    1874759,    2062236,
    2268459,    2495305,    2744836,    3019320,    3321252,    3653374,    4018711,    4420582,    4862641,
    5348905,    5883796,    6472176,    7119394,    7831333,    8614467,    9475909,    10423501,   11465851,
    12612437,   13873681,   15261050,   16787154,   18465870,   20312458,   22343706,   24578077,   27035886,
    29739474,   32713425,   35984770,   39583245,   43541573,   47895730,   52685306,   57953837,   63749221,
    70124148,   77136564,   84850228,   93335252,   102668779,  112935659,  124229227,  136652151,  150317384,
    165349128,  181884040,  200072456,  220079703,  242087671,  266296456,  292926096,  322218735,  354440623,
    389884688,  428873168,  471760495,  518936559,  570830240,  627913311,  690704607,  759775136,  835752671,
    919327967,  1011260767, 1112386880, 1223623232, 1345985727, 1480584256, 1628642751, 1791507135, 1970657856,
    2167723648, 2384496256, 2622945920, 2885240448, 3173764736, 3491141248, 3840255616, 4224281216,
};
static_assert(std::is_sorted(kLengthTop.begin(), kLengthTop.end()));

std::uint8_t LengthCode(std::uint64_t length) {
    return static_cast<std::uint8_t>(std::lower_bound(kLengthTop.begin(), kLengthTop.end(), length) -
                                     kLengthTop.begin());
}

std::uint8_t SwapNibbles(std::uint8_t v) { return static_cast<std::uint8_t>((v >> 4) | (v << 4)); }

constexpr std::size_t kCodedBuckets = 128;

}  // namespace

void Hash::update(const std::uint8_t* data, std::size_t length) {
    if (finalized_ || data == nullptr || length == 0) return;
    // The window lives in locals; a0 is its newest byte, a4 its oldest.
    unsigned a1 = recent_[3], a2 = recent_[2], a3 = recent_[1], a4 = recent_[0];
    std::size_t i = 0;
    // The stream's first four bytes only fill the window.
    for (; i < length && length_ + i < 4; ++i) {
        a4 = a3;
        a3 = a2;
        a2 = a1;
        a1 = data[i];
    }
    unsigned checksum = checksum_;
    std::uint64_t* const count = counts_.data();
    for (; i < length; ++i) {
        const unsigned a0 = data[i];
        const std::uint8_t* const row = &kSaltRows[a0 * 8];
        checksum = kPearson[kPearson[row[0] ^ a1] ^ checksum];
        // The last round of each triplet is a fixed permutation: counted
        // before it and permuted once in final().
        ++count[kPearson[row[1] ^ a1] ^ a2];
        ++count[kPearson[row[2] ^ a1] ^ a3];
        ++count[kPearson[row[3] ^ a2] ^ a3];
        ++count[kPearson[row[4] ^ a2] ^ a4];
        ++count[kPearson[row[5] ^ a1] ^ a4];
        ++count[kPearson[row[6] ^ a3] ^ a4];
        a4 = a3;
        a3 = a2;
        a2 = a1;
        a1 = a0;
    }
    checksum_ = static_cast<std::uint8_t>(checksum);
    recent_ = {static_cast<std::uint8_t>(a4), static_cast<std::uint8_t>(a3), static_cast<std::uint8_t>(a2),
               static_cast<std::uint8_t>(a1)};
    length_ += length;
}

void Hash::final() {
    if (finalized_) return;
    finalized_ = true;
    if (length_ < kMinLength || length_ > kMaxLength) return;

    std::array<std::uint64_t, 256> bucket;
    for (unsigned z = 0; z < 256; ++z) bucket[kPearson[z]] = counts_[z];
    std::array<std::uint64_t, kCodedBuckets> sorted;
    std::copy_n(bucket.begin(), kCodedBuckets, sorted.begin());
    std::sort(sorted.begin(), sorted.end());
    const std::uint64_t q1 = sorted[kCodedBuckets / 4 - 1];
    const std::uint64_t q2 = sorted[kCodedBuckets / 2 - 1];
    const std::uint64_t q3 = sorted[kCodedBuckets * 3 / 4 - 1];
    const auto nonzero = std::count_if(sorted.begin(), sorted.end(), [](std::uint64_t n) { return n != 0; });
    // Too uniform: a digest needs more than half of the buckets filled.
    if (q3 == 0 || nonzero <= static_cast<std::ptrdiff_t>(kCodedBuckets / 2)) return;

    digest_[0] = SwapNibbles(checksum_);
    digest_[1] = SwapNibbles(LengthCode(length_));
    digest_[2] = static_cast<std::uint8_t>(((q1 * 100 / q3) % 16) << 4 | ((q2 * 100 / q3) % 16));
    // Two bits per bucket, by quartile; bucket 0 lands in the last byte.
    for (std::size_t i = 0; i < kBodyBytes; ++i) {
        unsigned byte = 0;
        for (unsigned j = 0; j < 4; ++j) {
            const std::uint64_t n = bucket[4 * i + j];
            const unsigned code = n > q3 ? 3 : n > q2 ? 2 : n > q1 ? 1 : 0;
            byte |= code << (2 * j);
        }
        digest_[3 + kBodyBytes - 1 - i] = static_cast<std::uint8_t>(byte);
    }
    valid_ = true;
}

std::string Hash::getHash(int showVersion) const {
    if (!valid_) return {};
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = showVersion != 0 ? "T1" : "";
    for (const std::uint8_t byte : digest_) {
        text += kHex[byte >> 4];
        text += kHex[byte & 0xF];
    }
    return text;
}

void Hash::reset() { *this = Hash(); }

}  // namespace Tlsh
