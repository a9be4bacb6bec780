// Raw registry data handed over by rules as hex dumps (the value's bytes in
// storage order, two hex digits per byte), read back as an integer or text.
// Pure computation: nothing here touches the registry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ScanEngine::System {

// The parsed value, or the line explaining why the dump is malformed.
template <typename T>
struct DumpParse {
    std::optional<T> value;
    std::string failure;
};

// A 32-bit (8 digits, sign-extended) or 64-bit (16 digits) little-endian
// integer.
DumpParse<std::int64_t> ParseRegistryInt(std::string_view dump);

// UTF-16LE text as UTF-8. A multi-string list (ending in a double nul) comes
// back as its strings joined with ";"; any other nul unit, a single
// terminator included, is kept as a nul character.
DumpParse<std::string> ParseRegistryString(std::string_view dump);

}  // namespace ScanEngine::System
