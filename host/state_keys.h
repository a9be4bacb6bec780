// How the host matches the keys of its state, as the system it stands for
// does: paths, file names and registry names without regard to case (ordinal,
// each UTF-16 unit upper-cased by the system's own table, so non-ASCII letters
// too), hex digests and thumbprints without regard to ASCII case. Pure, so the
// state file reader builds natively.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace RefHost {

// Below, equal to or above zero as `a` orders before, with or after `b`.
int CompareNames(std::wstring_view a, std::wstring_view b);
int CompareNames(std::string_view a, std::string_view b);  // UTF-8

// Paths and file names, UTF-8 or wide.
struct NameLess {
    bool operator()(std::string_view a, std::string_view b) const { return CompareNames(a, b) < 0; }
    bool operator()(std::wstring_view a, std::wstring_view b) const { return CompareNames(a, b) < 0; }
};

struct HexLess {
    bool operator()(std::string_view a, std::string_view b) const;
};

using RegistryKey = std::pair<std::uint32_t, std::wstring>;                  // (hive, key)
using RegistryValue = std::tuple<std::uint32_t, std::wstring, std::wstring>;  // (hive, key, value name)
struct RegistryLess {
    bool operator()(const RegistryKey& a, const RegistryKey& b) const;
    bool operator()(const RegistryValue& a, const RegistryValue& b) const;
};

using NameSet = std::set<std::string, NameLess>;
using HexSet = std::set<std::string, HexLess>;
template <typename T>
using NameMap = std::map<std::string, T, NameLess>;

}  // namespace RefHost
