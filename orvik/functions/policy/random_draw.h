// The pieces of the sampling test that do not touch the system.
#pragma once

#include <cstdint>

namespace ScanEngine::Policy {

// A uniform integer in [0, range) by multiply-and-reject from a source of
// uniform 64-bit values; range must be at least 1.
template <typename Generator>
std::uint64_t DrawBelow(Generator& generator, std::uint64_t range) {
    unsigned __int128 product = static_cast<unsigned __int128>(generator()) * range;
    auto low = static_cast<std::uint64_t>(product);
    if (low < range) {
        const std::uint64_t threshold = (0 - range) % range;  // 2^64 mod range
        while (low < threshold) {
            product = static_cast<unsigned __int128>(generator()) * range;
            low = static_cast<std::uint64_t>(product);
        }
    }
    return static_cast<std::uint64_t>(product >> 64);
}

// A performance-counter reading in nanoseconds, given the counter frequency.
std::int64_t CounterToNanoseconds(std::int64_t counter, std::int64_t frequency);

}  // namespace ScanEngine::Policy
