// File time conversion: epoch boundary, truncation, units.
#include <gtest/gtest.h>

#include "orvik/functions/file/file_actions.h"

namespace {

using ScanEngine::File::FileTimeToUnix;
using ScanEngine::File::TimePrecision;

constexpr std::uint64_t kEpoch = 116444736000000000ull;  // 1970-01-01 in 100 ns units since 1601

TEST(FileTime, ConvertsTruncatingAndClampsTimesBefore1970) {
    const std::uint64_t almost_two = kEpoch + 19'999'999;  // 1.9999999 s after the epoch
    EXPECT_EQ(FileTimeToUnix(almost_two, TimePrecision::Seconds), 1u);
    EXPECT_EQ(FileTimeToUnix(almost_two, TimePrecision::Milliseconds), 1999u);
    EXPECT_EQ(FileTimeToUnix(almost_two, TimePrecision::Microseconds), 1'999'999u);
    EXPECT_EQ(FileTimeToUnix(kEpoch, TimePrecision::Microseconds), 0u);
    // Within the last second before the epoch, and long before it.
    for (const std::uint64_t before : {kEpoch - 1, kEpoch - 9'999'999, std::uint64_t{0}})
        for (const auto precision : {TimePrecision::Seconds, TimePrecision::Milliseconds, TimePrecision::Microseconds})
            EXPECT_EQ(FileTimeToUnix(before, precision), 0u) << before;
    EXPECT_EQ(FileTimeToUnix(~std::uint64_t{0}, TimePrecision::Seconds), 1'844'674'407'370u - 11'644'473'600u);
    EXPECT_EQ(FileTimeToUnix(almost_two, static_cast<TimePrecision>(3)), 0u);
}

}  // namespace
