// For each byte of a mask, the positions of its set bits packed from the low
// end, a byte each: the indices a permute or byte shuffle needs to gather the
// selected elements of a group of eight side by side.
#pragma once

#include <array>
#include <cstdint>

namespace Common {

constexpr std::array<std::uint64_t, 256> MakePackOrder() {
    std::array<std::uint64_t, 256> order{};
    for (unsigned mask = 0; mask < 256; ++mask) {
        unsigned used = 0;
        for (unsigned bit = 0; bit < 8; ++bit)
            if (mask >> bit & 1) order[mask] |= std::uint64_t{bit} << (8 * used++);
    }
    return order;
}
inline constexpr std::array<std::uint64_t, 256> kPackOrder = MakePackOrder();

}  // namespace Common
