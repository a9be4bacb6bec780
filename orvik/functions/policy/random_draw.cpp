#include "random_draw.h"

namespace ScanEngine::Policy {

std::int64_t CounterToNanoseconds(std::int64_t counter, std::int64_t frequency) {
    constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
    if (frequency == 10'000'000) return counter * 100;  // the common case, exact
    if (frequency <= 0) return counter;                 // no usable frequency: the raw reading still varies
    return counter / frequency * kNanosecondsPerSecond + counter % frequency * kNanosecondsPerSecond / frequency;
}

}  // namespace ScanEngine::Policy
