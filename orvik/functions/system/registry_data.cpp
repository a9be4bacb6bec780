#include "registry_data.h"

#include <algorithm>
#include <vector>

#include "common/hex_text.h"
#include "common/utf.h"

namespace ScanEngine::System {
namespace {

// The bytes of a dump that is whole hex pairs and nothing else; nothing for
// odd lengths, separators or any other character.
std::optional<std::vector<std::uint8_t>> DecodeDump(std::string_view dump) {
    std::vector<std::uint8_t> bytes = Common::DecodeHexPairs(dump);
    if (bytes.size() * 2 != dump.size()) return std::nullopt;
    return bytes;
}

std::uint64_t LittleEndian(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t value = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) value = value << 8 | bytes[i];
    return value;
}

}  // namespace

DumpParse<std::int64_t> ParseRegistryInt(std::string_view dump) {
    const auto bytes = DecodeDump(dump);
    if (!bytes) return {std::nullopt, "Invalid hex input : " + std::string(dump)};
    if (bytes->size() == 4) {
        return {static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(LittleEndian(*bytes)))),
                {}};
    }
    if (bytes->size() == 8) return {static_cast<std::int64_t>(LittleEndian(*bytes)), {}};
    return {std::nullopt, "Expected hex dump length 8, 16, actual dump size: " + std::to_string(dump.size())};
}

DumpParse<std::string> ParseRegistryString(std::string_view dump) {
    const auto bytes = DecodeDump(dump);
    if (!bytes || bytes->size() % 2 != 0) {
        return {std::nullopt, "Invalid hex input for utf16 string: " + std::string(dump)};
    }
    std::u16string units(bytes->size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>((*bytes)[2 * i] | (*bytes)[2 * i + 1] << 8);
    }
    // Two nul units end a multi-string list; the nuls left between its
    // strings become the separator.
    if (units.size() >= 2 && units[units.size() - 1] == 0 && units[units.size() - 2] == 0) {
        units.resize(units.size() - 2);
        std::replace(units.begin(), units.end(), u'\0', u';');
    }
    return {Common::Utf16ToUtf8(units), {}};
}

}  // namespace ScanEngine::System
