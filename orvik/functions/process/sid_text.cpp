#include "sid_text.h"

#include "common/format_string.h"

namespace ScanEngine::Process {

std::string SidText(const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr || size < 12 || bytes[0] != 1) return {};
    const std::size_t count = bytes[1];
    if (count > 8 || size != 8 + 4 * count) return {};

    std::string text = Common::FormatString("S-%d-", static_cast<int>(bytes[0]));
    if (bytes[2] == 0 && bytes[3] == 0) {
        const std::uint32_t authority = (std::uint32_t{bytes[4]} << 24) | (std::uint32_t{bytes[5]} << 16) |
                                        (std::uint32_t{bytes[6]} << 8) | std::uint32_t{bytes[7]};
        text += Common::FormatString("%u", authority);
    } else {
        text += Common::FormatString("0x%02hx%02hx%02hx%02hx%02hx%02hx", static_cast<unsigned short>(bytes[2]),
                                     static_cast<unsigned short>(bytes[3]), static_cast<unsigned short>(bytes[4]),
                                     static_cast<unsigned short>(bytes[5]), static_cast<unsigned short>(bytes[6]),
                                     static_cast<unsigned short>(bytes[7]));
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* sub = bytes + 8 + 4 * i;
        const std::uint32_t value = std::uint32_t{sub[0]} | (std::uint32_t{sub[1]} << 8) |
                                    (std::uint32_t{sub[2]} << 16) | (std::uint32_t{sub[3]} << 24);
        text += Common::FormatString("-%u", value);
    }
    return text;
}

}  // namespace ScanEngine::Process
