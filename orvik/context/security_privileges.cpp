#include "security_privileges.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace ScanEngine {
namespace {

constexpr std::uint64_t kEntrySize = 12;

template <typename T>
T ReadAt(const std::uint8_t* bytes, std::uint64_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

}  // namespace

std::string SecurityPrivileges::Format(const void* privileges, std::uint64_t size) {
    std::string text;
    if (privileges == nullptr || size < 4) return text;
    const auto* bytes = static_cast<const std::uint8_t*>(privileges);
    const auto count = ReadAt<std::uint32_t>(bytes, 0);
    if (count == 0 || size != count * kEntrySize + 4) return text;

    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = 4 + i * kEntrySize;
        const auto name = Name(ReadAt<std::uint32_t>(bytes, at), ReadAt<std::int32_t>(bytes, at + 4));
        if (!name) continue;
        if (!text.empty()) text += ',';
        text += *name;
        text += '=';
        text += std::to_string(ReadAt<std::uint32_t>(bytes, at + 8));
    }
    return text;
}

std::optional<std::string> SecurityPrivileges::Name(std::uint32_t low, std::int32_t high) {
    const std::int64_t key = (static_cast<std::int64_t>(high) << 32) + static_cast<std::int64_t>(low);
    {
        Common::SrwLock::Shared hold(lock_);
        if (auto it = names_.find(key); it != names_.end()) return it->second;
    }

    LUID luid{low, high};
    DWORD length = 0;
    LookupPrivilegeNameA(nullptr, &luid, nullptr, &length);
    if (length == 0) return std::nullopt;
    std::vector<char> buffer(length + 1, '\0');
    if (!LookupPrivilegeNameA(nullptr, &luid, buffer.data(), &length)) return std::nullopt;
    std::string name(buffer.data());

    Common::SrwLock::Exclusive hold(lock_);
    names_[key] = name;
    return name;
}

}  // namespace ScanEngine
