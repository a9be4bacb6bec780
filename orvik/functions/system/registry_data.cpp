#include "registry_data.h"

#include <algorithm>

#include "common/hex_text.h"
#include "common/utf.h"

namespace ScanEngine::System {
namespace {

// The byte of hex pair `index`; the dump has been checked to be whole pairs.
std::uint8_t PairAt(std::string_view dump, std::size_t index) {
    return static_cast<std::uint8_t>(Common::HexDigitValue(dump[2 * index]) << 4 |
                                     Common::HexDigitValue(dump[2 * index + 1]));
}

std::uint64_t LittleEndian(std::string_view dump) {
    std::uint64_t value = 0;
    for (std::size_t i = dump.size() / 2; i-- > 0;) value = value << 8 | PairAt(dump, i);
    return value;
}

}  // namespace

DumpParse<std::int64_t> ParseRegistryInt(std::string_view dump) {
    if (!Common::IsWholeHexText(dump)) return {std::nullopt, "Invalid hex input : " + std::string(dump)};
    if (dump.size() == 8) {
        return {static_cast<std::int64_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(LittleEndian(dump)))),
                {}};
    }
    if (dump.size() == 16) return {static_cast<std::int64_t>(LittleEndian(dump)), {}};
    return {std::nullopt, "Expected hex dump length 8, 16, actual dump size: " + std::to_string(dump.size())};
}

DumpParse<std::string> ParseRegistryString(std::string_view dump) {
    if (!Common::IsWholeHexText(dump) || dump.size() % 4 != 0) {
        return {std::nullopt, "Invalid hex input for utf16 string: " + std::string(dump)};
    }
    // Short values, the common case, are decoded on the stack.
    constexpr std::size_t kStackUnits = 256;
    const std::size_t count = dump.size() / 4;
    char16_t stack_units[kStackUnits];
    std::u16string heap_units;
    char16_t* units = stack_units;
    if (count > kStackUnits) {
        heap_units.resize(count);
        units = heap_units.data();
    }
    for (std::size_t i = 0; i < count; ++i)
        units[i] = static_cast<char16_t>(PairAt(dump, 2 * i) | PairAt(dump, 2 * i + 1) << 8);
    std::size_t length = count;
    // Two nul units end a multi-string list; the nuls left between its
    // strings become the separator.
    if (count >= 2 && units[count - 1] == 0 && units[count - 2] == 0) {
        length -= 2;
        std::replace(units, units + length, u'\0', u';');
    }
    return {Common::Utf16ToUtf8(std::u16string_view(units, length)), {}};
}

}  // namespace ScanEngine::System
