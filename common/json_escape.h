// Texts as JSON string contents. Every result is printable ASCII or
// well-formed UTF-8, so strict readers accept it whatever bytes came in.
#pragma once

#include <string>
#include <string_view>

namespace Common {

// What happens to bytes from 0x80 up.
enum class JsonHighBytes {
    // Each byte becomes \u00XX: for names of unknown encoding (read as Latin-1,
    // so every byte value survives).
    kEscapeEach,
    // Well-formed UTF-8 sequences are kept; any other byte becomes \u00XX.
    kKeepUtf8,
};

// The inside of a JSON string: quote and backslash escaped, tab, CR and LF as
// \t \r \n, every other byte outside printable ASCII as \u00XX (lower case).
std::string JsonEscape(std::string_view text, JsonHighBytes high);

// The same, in double quotes.
std::string JsonQuote(std::string_view text, JsonHighBytes high);

// Length of the well-formed UTF-8 sequence at the start of `text` (1 to 4),
// or 0 when it does not start with one (overlong forms, surrogates and code
// points past U+10FFFF are not well formed).
std::size_t Utf8SequenceLength(std::string_view text) noexcept;

}  // namespace Common
