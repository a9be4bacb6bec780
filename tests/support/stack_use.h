// Stack bytes a piece of work takes below its caller: the area beneath is
// painted first, and afterwards the deepest byte that changed is looked for.
#pragma once

#include <cstddef>
#include <cstdint>

namespace OrvikTest {

inline constexpr std::size_t kPaintedStack = 256 * 1024;

[[gnu::noinline]] inline void PaintStack(std::uintptr_t* low) {
    volatile unsigned char area[kPaintedStack];
    for (std::size_t i = 0; i < kPaintedStack; ++i) area[i] = 0xA5;
    *low = reinterpret_cast<std::uintptr_t>(&area[0]);
}

template <typename Work>
[[gnu::noinline]] std::size_t StackUsed(Work work) {
    std::uintptr_t low = 0;
    PaintStack(&low);
    work();
    const auto* area = reinterpret_cast<const volatile unsigned char*>(low);
    std::size_t untouched = 0;
    while (untouched < kPaintedStack && area[untouched] == 0xA5) ++untouched;
    return kPaintedStack - untouched;
}

}  // namespace OrvikTest
