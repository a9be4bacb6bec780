#include <gtest/gtest.h>

#include <vector>

#include "orvik/functions/policy/random_draw.h"

namespace ScanEngine::Policy {
namespace {

// Hands out scripted values and counts how many were taken.
struct Script {
    std::vector<std::uint64_t> values;
    std::size_t taken = 0;
    std::uint64_t operator()() { return values.at(taken++); }
};

TEST(DrawBelow, TakesTheHighWordOfTheProductAndRejectsTheBiasedLowZone) {
    // Range 3: 2^64 mod 3 is 1, so a product whose low word is 0 is redrawn.
    Script script{{0, 1ull << 63}};
    EXPECT_EQ(DrawBelow(script, 3), 1u);  // 3 * 2^63 = 2^64 + 2^63
    EXPECT_EQ(script.taken, 2u);

    Script accepted{{~0ull}};
    EXPECT_EQ(DrawBelow(accepted, 3), 2u);
    EXPECT_EQ(accepted.taken, 1u);

    // Range 1 draws 0 with one value; a power of two never rejects.
    Script one{{12345}};
    EXPECT_EQ(DrawBelow(one, 1), 0u);
    Script power{{0, 0}};
    EXPECT_EQ(DrawBelow(power, 4), 0u);
    EXPECT_EQ(power.taken, 1u);
}

TEST(CounterToNanoseconds, ScalesExactlyForCommonAndOddFrequencies) {
    EXPECT_EQ(CounterToNanoseconds(123, 10'000'000), 12300);
    EXPECT_EQ(CounterToNanoseconds(3'000'001, 3'000'000), 1'000'000'333);
    // Large readings do not overflow through the intermediate product.
    EXPECT_EQ(CounterToNanoseconds(3'000'000ll * 86400 * 365, 3'000'000), 1'000'000'000ll * 86400 * 365);
    EXPECT_EQ(CounterToNanoseconds(99, 0), 99);
}

}  // namespace
}  // namespace ScanEngine::Policy
