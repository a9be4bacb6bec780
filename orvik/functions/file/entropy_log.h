// A natural logarithm for the entropy sum's terms, several times cheaper than
// the runtime library's, with a stated error bound instead of the library's
// last bit. The entropy is rounded to hundredths of a bit, so a sum formed
// with these logarithms gives the library's answer unless it lies within
// the bound of a rounding step; only then is the library asked. Pure
// computation.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <numbers>

namespace ScanEngine::File::EntropyLog {

// ln(c) for c in [1, 2] as 2 atanh((c - 1) / (c + 1)), to a few units in
// the last place; used only to build the table, at compile time.
constexpr double SeriesLog(double c) {
    const double s = (c - 1) / (c + 1);
    const double s2 = s * s;
    double power = s;
    double sum = 0;
    for (int k = 1; k < 80; k += 2) {
        sum += power / k;
        power *= s2;
    }
    return 2 * sum;
}

struct Step {
    double inverse;  // 1 / c, c = 1 + j / 128
    double log;      // ln(c)
};

constexpr std::array<Step, 128> MakeSteps() {
    std::array<Step, 128> steps{};
    for (unsigned j = 0; j < 128; ++j) {
        const double c = 1 + j / 128.0;
        steps[j] = {1 / c, SeriesLog(c)};
    }
    return steps;
}
inline constexpr std::array<Step, 128> kSteps = MakeSteps();

// ln(x) for x in (0, 1] and not subnormal, within 2^-44 plus 2^-44 |ln x|
// of the true value (the table, the reduction and the polynomial each err
// by a few 2^-53; the tests hold it to the stated bound). x = 2^e m with m
// in [1, 2); c is m cut to 7 fraction bits, r = m / c - 1 in [0, 2^-7), and
// ln(1 + r) is its series to r^6, whose remainder is below 2^-52.
inline double Log(double x) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    const int exponent = static_cast<int>(bits >> 52) - 1023;
    const Step& step = kSteps[(bits >> 45) & 127];
    const double m = std::bit_cast<double>((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    const double r = m * step.inverse - 1;
    const double r2 = r * r;
    // r - r^2/2 + r^3/3 - r^4/4 + r^5/5 - r^6/6, grouped to shorten the chain.
    const double low = r + r2 * (-0.5 + r * (1.0 / 3));
    const double high = -0.25 + r * (0.2 - r * (1.0 / 6));
    return (exponent * std::numbers::ln2 + step.log) + (low + r2 * r2 * high);
}

// Whether llround(scaled) is certain when `scaled` is -100 times a sum of
// terms ln(p) p / ln 2 (the p summing to 1), formed with Log in place of the
// library's logarithm by at most `terms` additions in any order, against the
// library's sum in its own order. The terms share a sign, so every partial
// sum of either lies within the whole.
//   Each term differs from the library's by at most 2^-43 (p / ln 2 + |term|)
//   (both logarithms within 2^-44 of the truth, with room to spare for the
//   few roundings of p and of the products, whether by division or by
//   multiplication with a reciprocal); the
//   terms add to at most 21 bits, so their differences to less than 2^-38.
//   Each sum is within k 2^-53 of its exact value for every bit it holds, so
//   the two orders of rounding add at most k 2^-53 * 42 < k 2^-47.
//   Times 100, and with the rounding of that product: below 2^-31 + k 2^-40.
// The bound below doubles that; a sum within it of a half is formed again.
inline bool RoundingIsClear(double scaled, std::size_t terms) {
    const double bound = 0x1p-30 + static_cast<double>(terms) * 0x1p-39;
    const double fraction = scaled - static_cast<double>(static_cast<std::int64_t>(scaled));
    const double from_half = fraction < 0 ? fraction + 0.5 : fraction - 0.5;
    return from_half > bound || from_half < -bound;
}

}  // namespace ScanEngine::File::EntropyLog
