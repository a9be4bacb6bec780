// True with probability 1/range. A fresh generator is seeded from the clock
// on every call: no random state is shared between calls or threads.
#include <windows.h>

#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include <random>

#include "random_draw.h"

namespace ScanEngine::Policy {

std::int64_t ProbabilityCheck(Invocation& call) {
    const auto range = static_cast<std::uint64_t>(call.args.GetInteger(arg::range));
    if (range < 2) return 1;

    LARGE_INTEGER counter{}, frequency{};
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    std::mt19937_64 generator(
        static_cast<std::uint64_t>(CounterToNanoseconds(counter.QuadPart, frequency.QuadPart)));
    return DrawBelow(generator, range) == 0 ? 1 : 0;
}

}  // namespace ScanEngine::Policy
