// Time units and file time conversion; no system calls.
#include <cinttypes>

#include "common/error.h"
#include "common/format_string.h"
#include "file_actions.h"
#include "orvik/context/argument_names.h"

namespace ScanEngine::File {

TimePrecision ParseTimePrecision(const ArgParse& args, TimePrecision fallback) {
    if (!args.IsGiven(arg::time_precision)) return fallback;
    const auto value = static_cast<std::uint64_t>(args.GetInteger(arg::time_precision));
    switch (value) {
        case 1: return TimePrecision::Seconds;
        case 1000: return TimePrecision::Milliseconds;
        case 1000000:
        case 0: return TimePrecision::Microseconds;
        default:
            throw COMMON_ERROR(Common::FormatString("Invalid time precision argument value %" PRIu64, value));
    }
}

std::uint64_t FileTimeToUnix(std::uint64_t file_time, TimePrecision precision) {
    constexpr std::uint64_t kTicksPerSecond = 10'000'000;
    constexpr std::uint64_t kEpochSeconds = 11'644'473'600;  // 1601-01-01 to 1970-01-01
    std::uint64_t seconds = file_time / kTicksPerSecond;
    std::uint64_t microseconds = 0;
    if (seconds < kEpochSeconds) {
        seconds = 0;
    } else {
        seconds -= kEpochSeconds;
        microseconds = (file_time % kTicksPerSecond) / 10;
    }
    switch (precision) {
        case TimePrecision::Seconds: return seconds;
        case TimePrecision::Milliseconds: return seconds * 1000 + microseconds / 1000;
        case TimePrecision::Microseconds: return seconds * 1'000'000 + microseconds;
    }
    return 0;
}

}  // namespace ScanEngine::File
