// The sampling test as a rule sees it.
#include <gtest/gtest.h>

#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

class ProbabilityCheck : public ModuleTest {};

TEST_F(ProbabilityCheck, PassesAboutOnceInRangeCallsAndAlwaysBelowTwo) {
    constexpr int kCalls = 4000;
    int range2 = 0, range4 = 0, huge = 0, below2 = 0;
    for (int i = 0; i < kCalls; ++i) {
        range2 += static_cast<int>(Call("probability_check", {Arg::Int("range", 2)}).result);
        range4 += static_cast<int>(Call("probability_check", {Arg::Int("range", 4)}).result);
        // -1 is the largest unsigned range: practically never true.
        huge += static_cast<int>(Call("probability_check", {Arg::Int("range", -1)}).result);
        below2 += static_cast<int>(Call("probability_check", {Arg::Int("range", i % 2)}).result);
    }
    // Binomial bounds at more than six standard deviations.
    EXPECT_NEAR(range2, kCalls / 2, 200);
    EXPECT_NEAR(range4, kCalls / 4, 170);
    EXPECT_EQ(huge, 0);
    EXPECT_EQ(below2, kCalls);
}

}  // namespace
}  // namespace OrvikTest
