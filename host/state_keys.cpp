#include "state_keys.h"

#include <algorithm>

#include "common/utf.h"

namespace RefHost {

int CompareNames(std::string_view a, std::string_view b) {
    // Paths reach the system through the replacing conversion.
    const auto wide = [](std::string_view text) {
        std::u16string units(Common::Utf8ToUtf16Replacing(text, static_cast<char16_t*>(nullptr)), u'\0');
        Common::Utf8ToUtf16Replacing(text, units.data());
        return std::wstring(units.begin(), units.end());
    };
    return CompareNames(wide(a), wide(b));
}

#ifndef _WIN32
// Native builds only read state files and never look anything up: ASCII
// folding gives them a consistent order without the system's table.
int CompareNames(std::wstring_view a, std::wstring_view b) {
    const auto upper = [](wchar_t c) { return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c; };
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (upper(a[i]) != upper(b[i])) return upper(a[i]) < upper(b[i]) ? -1 : 1;
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}
#endif

bool HexLess::operator()(std::string_view a, std::string_view b) const {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return lower(x) < lower(y); });
}

bool RegistryLess::operator()(const RegistryKey& a, const RegistryKey& b) const {
    return a.first != b.first ? a.first < b.first : CompareNames(a.second, b.second) < 0;
}

bool RegistryLess::operator()(const RegistryValue& a, const RegistryValue& b) const {
    const auto& [hive_a, key_a, value_a] = a;
    const auto& [hive_b, key_b, value_b] = b;
    if (hive_a != hive_b) return hive_a < hive_b;
    const int key = CompareNames(key_a, key_b);
    return key != 0 ? key < 0 : CompareNames(value_a, value_b) < 0;
}

}  // namespace RefHost
