// Registry dumps: any text gives a value or a failure line, never both; an integer comes back from its own little-
// endian dump; text is always UTF-8, and valid UTF-16 comes back whole, alone or as a list.
#include "common/utf.h"
#include "fuzz_check.h"
#include "orvik/functions/system/registry_data.h"

using namespace ScanEngine::System;

// The units' bytes, low byte first, as hex digits whose case `upper` picks in turn.
static std::string Dump(const std::u16string& units, std::uint8_t upper) {
    std::string dump;
    for (const char16_t unit : units) {
        for (const int nibble : {unit >> 4 & 15, unit & 15, unit >> 12, unit >> 8 & 15}) {
            dump += "0123456789abcdef0123456789ABCDEF"[nibble + ((upper & 1) << 4)];
            upper = static_cast<std::uint8_t>(upper >> 1 | upper << 7);
        }
    }
    return dump;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto upper = in.ConsumeIntegral<std::uint8_t>();
    const auto number = in.ConsumeIntegral<std::uint64_t>();
    const std::string raw = in.ConsumeRandomLengthString(64);
    const auto integer = ParseRegistryInt(raw);
    const auto text = ParseRegistryString(raw);
    FUZZ_CHECK(integer.value.has_value() == integer.failure.empty() && text.value.has_value() == text.failure.empty());
    FUZZ_CHECK(!text.value || Fuzz::IsUtf8(*text.value));

    const std::u16string words = {static_cast<char16_t>(number), static_cast<char16_t>(number >> 16),
                                  static_cast<char16_t>(number >> 32), static_cast<char16_t>(number >> 48)};
    FUZZ_CHECK(ParseRegistryInt(Dump(words, upper)).value == static_cast<std::int64_t>(number));
    FUZZ_CHECK(ParseRegistryInt(Dump(words.substr(0, 2), upper)).value == static_cast<std::int32_t>(number));

    std::u16string units;
    while (in.remaining_bytes() >= 2) units += static_cast<char16_t>(in.ConsumeIntegral<std::uint16_t>());
    if (!Fuzz::IsUtf16(units) || units.find(u'\0') != std::u16string::npos) return 0;
    const auto single = ParseRegistryString(Dump(units, upper)).value;
    FUZZ_CHECK(single && Common::Utf8ToUtf16(*single) == units);
    FUZZ_CHECK(ParseRegistryString(Dump(units + u'\0' + u'\0', upper)).value == *single);
    FUZZ_CHECK(ParseRegistryString(Dump(units + u'\0' + units + u'\0' + u'\0', upper)).value == *single + ";" + *single);
    return 0;
}
