#include "tlsh/tlsh.h"

#include <algorithm>
#include <atomic>
#include <tuple>

#include "tlsh/tlsh_kernel.h"

namespace Tlsh {
namespace {

using Kernel::kPearson;
using Kernel::kSaltRows;
using Kernel::Turn;

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

// One position: a0 the newest byte, a1-a4 the ones before it. The second
// round's inputs are XORed as one word: the salt row with a mask holding each
// salt's byte in its lane (a1 in lanes 0-3, a2 in 4-5, a3 in 6). That is one
// load and one XOR for the seven lookups' indices instead of seven of each
// (byte loads from the row): 10 % faster. The lanes are then read two at a
// time from the low bytes, turning the word between pairs.
static_assert(Kernel::kSecond == std::array<int, 7>{1, 1, 1, 1, 2, 2, 3} &&
              Kernel::kLast == std::array<int, 7>{0, 2, 3, 4, 3, 4, 4});
inline void Step(unsigned a0, unsigned a1, unsigned a2, unsigned a3, unsigned a4, unsigned& checksum,
                 std::uint64_t* count) {
    const std::uint64_t mask = std::uint64_t{a1 * 0x01010101u} | std::uint64_t{a2 * 0x0101u | a3 << 16} << 32;
    std::uint64_t w = kSaltRows[a0] ^ mask;
    checksum = Kernel::ChecksumRound(kPearson[w & 0xFF], checksum);
    ++count[kPearson[w >> 8 & 0xFF] ^ a2];
    w = Turn(w);  // lanes 2 and 3
    ++count[kPearson[w & 0xFF] ^ a3];
    ++count[kPearson[w >> 8 & 0xFF] ^ a4];
    w = Turn(w);  // lanes 4, 5 and 6
    ++count[kPearson[w & 0xFF] ^ a3];
    ++count[kPearson[w >> 8 & 0xFF] ^ a4];
    ++count[kPearson[w >> 16 & 0xFF] ^ a4];
}

// Positions [from, to) of data with their window in run: the scalar path, and
// the head and tail of the vector ones. Two positions a round, both into the
// first count table: a second table for odd positions measured 8 % slower,
// and one table does not stall on a run of equal bytes, which increments a
// counter once a position, six increments apart.
void UpdateScalar(Kernel::Run& run, const std::uint8_t* data, std::size_t from, std::size_t to) {
    unsigned a1 = run.a1, a2 = run.a2, a3 = run.a3, a4 = run.a4, checksum = run.checksum;
    std::uint64_t* const count = run.counts;
    std::size_t i = from;
    for (; to - i >= 2; i += 2) {
        const unsigned b0 = data[i], b1 = data[i + 1];
        Step(b0, a1, a2, a3, a4, checksum, count);
        Step(b1, b0, a1, a2, a3, checksum, count);
        a4 = a2;
        a3 = a1;
        a2 = b0;
        a1 = b1;
    }
    if (i < to) {
        Step(data[i], a1, a2, a3, a4, checksum, count);
        a4 = a3;
        a3 = a2;
        a2 = a1;
        a1 = data[i];
    }
    run.a1 = a1;
    run.a2 = a2;
    run.a3 = a3;
    run.a4 = a4;
    run.checksum = checksum;
}

bool Detected(Path path) {
    // Detected once, by the first caller (a thread-safe static).
    static const std::array<bool, 3> supported = [] {
        __builtin_cpu_init();
        return std::array<bool, 3>{true, __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt"),
                                   __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                                       __builtin_cpu_supports("avx512vbmi") &&
                                       __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("popcnt")};
    }();
    return supported[static_cast<std::size_t>(path)];
}

// The fastest path the processor has.
std::atomic<Path>& ChosenPath() {
    static std::atomic<Path> path{Detected(Path::kAvx512Vbmi) ? Path::kAvx512Vbmi
                                  : Detected(Path::kAvx2)     ? Path::kAvx2
                                                              : Path::kScalar};
    return path;
}

}  // namespace

bool Supports(Path path) { return static_cast<std::size_t>(path) < 3 && Detected(path); }

bool SetPath(Path path) {
    if (!Supports(path)) return false;
    ChosenPath().store(path, std::memory_order_relaxed);
    return true;
}

Path CurrentPath() { return ChosenPath().load(std::memory_order_relaxed); }

void Hash::update(const std::uint8_t* data, std::size_t length) {
    if (finalized_ || data == nullptr || length == 0) return;
    static_assert(std::tuple_size_v<decltype(counts_)> == Kernel::kCountTables * 256);
    Kernel::Run run{counts_.data(), recent_[3], recent_[2], recent_[1], recent_[0], checksum_};
    std::size_t i = 0;
    // The stream's first four bytes only fill the window.
    for (; i < length && length_ + i < 4; ++i) {
        run.a4 = run.a3;
        run.a3 = run.a2;
        run.a2 = run.a1;
        run.a1 = data[i];
    }
    // Vector paths read each position's window from data: the first four
    // positions of a buffer are the scalar path's, as are those after the
    // last whole block.
    const std::size_t head = std::min(length, std::max<std::size_t>(i, 4));
    UpdateScalar(run, data, i, head);
    i = head;
    switch (CurrentPath()) {
        case Path::kAvx512Vbmi: i = Kernel::UpdateAvx512Vbmi(run, data, i, length); break;
        case Path::kAvx2: i = Kernel::UpdateAvx2(run, data, i, length); break;
        case Path::kScalar: break;
    }
    UpdateScalar(run, data, i, length);
    checksum_ = static_cast<std::uint8_t>(run.checksum);
    recent_ = {static_cast<std::uint8_t>(run.a4), static_cast<std::uint8_t>(run.a3), static_cast<std::uint8_t>(run.a2),
               static_cast<std::uint8_t>(run.a1)};
    length_ += length;
}

void Hash::final() {
    if (finalized_) return;
    finalized_ = true;
    if (length_ < kMinLength || length_ > kMaxLength) return;

    std::array<std::uint64_t, 256> bucket;
    bucket.fill(0);
    for (unsigned z = 0; z < 256; ++z)
        for (std::size_t t = 0; t < Kernel::kCountTables; ++t) bucket[kPearson[z]] += counts_[256 * t + z];
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
