// Hex text: pairs of hexadecimal digits (either case), one byte per pair, the
// first digit giving the high four bits. Used for digests handed over by rules
// and for raw registry data dumps.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Common {

// 0 to 15 for a hexadecimal digit of either case, -1 for any other character.
int HexDigitValue(char c) noexcept;

// Decodes pairs from the start of the text; a final single character is
// ignored. A pair holding anything but hex digits makes the whole result
// empty: a half-decoded value is never handed on.
std::vector<std::uint8_t> DecodeHexPairs(std::string_view text);

// True when the text is whole pairs of hex digits and nothing else, which is
// when DecodeHexPairs gives exactly half as many bytes as the text has
// characters. The empty text qualifies.
bool IsWholeHexText(std::string_view text) noexcept;

// Two lower-case hex digits per byte, the inverse of DecodeHexPairs.
std::string EncodeHexPairs(std::string_view bytes);

}  // namespace Common
