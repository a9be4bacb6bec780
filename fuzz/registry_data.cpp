// Registry dumps: any text gives a value or a failure line, never both; an
// integer comes back from its own little-endian dump; text is always UTF-8,
// and valid UTF-16 comes back whole, as one string or as a list.
#include "common/utf.h"
#include "fuzz_check.h"
#include "orvik/functions/system/registry_data.h"

using namespace ScanEngine::System;

namespace {

// Bytes as hex digits, the case of each digit drawn from `upper`.
std::string Dump(const std::u16string& units, std::uint8_t upper) {
    std::string dump;
    for (const char16_t unit : units) {
        for (const int byte : {unit & 0xFF, unit >> 8}) {
            for (const int nibble : {byte >> 4, byte & 15}) {
                dump += "0123456789abcdef0123456789ABCDEF"[nibble + ((upper & 1) << 4)];
                upper = static_cast<std::uint8_t>(upper >> 1 | upper << 7);
            }
        }
    }
    return dump;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::uint8_t upper = in.ConsumeIntegral<std::uint8_t>();
    const std::int64_t number = in.ConsumeIntegral<std::int64_t>();
    const std::string raw = in.ConsumeRandomLengthString(64);
    const auto integer = ParseRegistryInt(raw);
    FUZZ_CHECK(integer.value.has_value() == integer.failure.empty());
    const auto text = ParseRegistryString(raw);
    FUZZ_CHECK(text.value.has_value() == text.failure.empty() && (!text.value || Fuzz::IsUtf8(*text.value)));

    const std::u16string words = {static_cast<char16_t>(number), static_cast<char16_t>(number >> 16),
                                  static_cast<char16_t>(number >> 32), static_cast<char16_t>(number >> 48)};
    FUZZ_CHECK(ParseRegistryInt(Dump(words, upper)).value == number);
    FUZZ_CHECK(ParseRegistryInt(Dump(words.substr(0, 2), upper)).value == static_cast<std::int32_t>(number));

    std::u16string units;
    while (in.remaining_bytes() >= 2) units += static_cast<char16_t>(in.ConsumeIntegral<std::uint16_t>());
    if (!Fuzz::IsUtf16(units) || units.find(u'\0') != std::u16string::npos) return 0;
    const auto single = ParseRegistryString(Dump(units, upper)).value;
    FUZZ_CHECK(single && Common::Utf8ToUtf16(*single) == units);
    const std::string& utf8 = *single;
    FUZZ_CHECK(ParseRegistryString(Dump(units + u'\0' + u'\0', upper)).value == utf8);
    FUZZ_CHECK(ParseRegistryString(Dump(units + u'\0' + units + u'\0' + u'\0', upper)).value == utf8 + ";" + utf8);
    return 0;
}
