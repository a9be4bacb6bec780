// The UTF converters: whatever comes in, UTF-16 out is valid UTF-16 and UTF-8 out is valid UTF-8; valid text
// survives a round trip unchanged; the replacing decoder writes exactly the units it counted.
#include <memory>
#include <vector>

#include "common/utf.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const bool valid = Fuzz::IsUtf8(bytes);
    const std::u16string strict = Common::Utf8ToUtf16(bytes);
    FUZZ_CHECK(Fuzz::IsUtf16(strict) && (valid || strict.find(u'\uFFFD') != std::u16string::npos));
    if (valid) FUZZ_CHECK(Common::Utf16ToUtf8(strict) == bytes);

    const std::size_t count = Common::Utf8ToUtf16Replacing(bytes, static_cast<char16_t*>(nullptr));
    const std::unique_ptr<char16_t[]> units(new char16_t[count]);  // exactly what was counted
    FUZZ_CHECK(Common::Utf8ToUtf16Replacing(bytes, units.get()) == count);
    const std::u16string replacing(units.get(), count);
    FUZZ_CHECK(Fuzz::IsUtf16(replacing) && (valid ? replacing == strict : replacing.find(u'\uFFFD') != std::u16string::npos));
    // Up to where the stopping decoder stops, both decode alike.
    FUZZ_CHECK(replacing.compare(0, strict.size(), strict) == 0);

    // The same bytes as UTF-16 units, paired or not, in their own allocation (no terminator to read).
    std::vector<char16_t> wide(size / 2);
    for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    const std::u16string_view view(wide.data(), wide.size());
    const std::string utf8 = Common::Utf16ToUtf8(view);
    FUZZ_CHECK(Fuzz::IsUtf8(utf8) && (!Fuzz::IsUtf16(view) || Common::Utf8ToUtf16(utf8) == view));
    // A high surrogate left without a partner at the end gives U+FFFD.
    std::size_t i = 0;
    while (i + 1 < view.size()) i += view[i] >= 0xD800 && view[i] <= 0xDBFF ? 2 : 1;
    if (i + 1 == view.size() && view[i] >= 0xD800 && view[i] <= 0xDBFF) FUZZ_CHECK(utf8.ends_with("\xEF\xBF\xBD"));
    return 0;
}
