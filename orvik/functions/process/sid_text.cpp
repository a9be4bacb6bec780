#include "sid_text.h"

#include <cstdio>

namespace ScanEngine::Process {

std::string SidText(const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr || size < 12 || bytes[0] != 1) return {};
    const std::size_t count = bytes[1];
    if (count > 8 || size != 8 + 4 * count) return {};

    // At most "S-1-0x" and 12 digits, then eight "-" and 10 digits: formed
    // on the stack, so the text costs one allocation.
    char text[128];
    int length = 0;
    if (bytes[2] == 0 && bytes[3] == 0) {
        const std::uint32_t authority = (std::uint32_t{bytes[4]} << 24) | (std::uint32_t{bytes[5]} << 16) |
                                        (std::uint32_t{bytes[6]} << 8) | std::uint32_t{bytes[7]};
        length = std::snprintf(text, sizeof text, "S-%d-%u", static_cast<int>(bytes[0]), authority);
    } else {
        length = std::snprintf(text, sizeof text, "S-%d-0x%02x%02x%02x%02x%02x%02x", static_cast<int>(bytes[0]),
                               bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* sub = bytes + 8 + 4 * i;
        const std::uint32_t value = std::uint32_t{sub[0]} | (std::uint32_t{sub[1]} << 8) |
                                    (std::uint32_t{sub[2]} << 16) | (std::uint32_t{sub[3]} << 24);
        length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), "-%u", value);
    }
    return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace ScanEngine::Process
