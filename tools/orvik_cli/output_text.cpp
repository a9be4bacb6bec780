#include "output_text.h"

#include <json/writer.h>

#include "common/hex_text.h"

namespace OrvikCli {

std::string JsonLine(const Json::Value& value) {
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    builder["precision"] = 6;
    return Json::writeString(builder, value) + "\n";
}

const char* LevelName(std::uint32_t level) {
    static constexpr const char* kNames[] = {"info", "warning", "error"};
    return level < 3 ? kNames[level] : "level?";
}

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                                 : lead >= 0xF0 && lead < 0xF5                   ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        std::uint32_t value = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            value = value << 6 | (next & 0x3F);
        }
        static constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (length > 1 && (value < kLeast[length] || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)))
            return false;
        i += length;
    }
    return true;
}

Json::Value LosslessText(std::string_view text) {
    if (IsUtf8(text)) return Json::Value(std::string(text));
    Json::Value hex(Json::objectValue);
    hex["hex"] = Common::EncodeHexPairs(text);
    return hex;
}

}  // namespace OrvikCli
