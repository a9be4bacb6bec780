#include "security_privileges.h"

#include <windows.h>

#include <algorithm>
#include <charconv>
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

    // Names run to about 32 characters: one allocation for the usual set.
    text.reserve(std::min<std::uint64_t>(count, 64) * 48);
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t at = 4 + i * kEntrySize;
        const std::size_t before = text.size();
        if (!text.empty()) text += ',';
        if (!AppendName(ReadAt<std::uint32_t>(bytes, at), ReadAt<std::int32_t>(bytes, at + 4), text)) {
            text.resize(before);
            continue;
        }
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, ReadAt<std::uint32_t>(bytes, at + 8)).ptr;
        text.append(1, '=').append(digits, end);
    }
    return text;
}

bool SecurityPrivileges::AppendName(std::uint32_t low, std::int32_t high, std::string& text) {
    const std::int64_t key = (static_cast<std::int64_t>(high) << 32) + static_cast<std::int64_t>(low);
    {
        Common::SrwLock::Shared hold(lock_);
        if (auto it = names_.find(key); it != names_.end()) {
            text += it->second;
            return true;
        }
    }

    LUID luid{low, high};
    DWORD length = 0;
    LookupPrivilegeNameA(nullptr, &luid, nullptr, &length);
    if (length == 0) return false;
    std::vector<char> buffer(length + 1, '\0');
    if (!LookupPrivilegeNameA(nullptr, &luid, buffer.data(), &length)) return false;
    const std::string name(buffer.data());

    Common::SrwLock::Exclusive hold(lock_);
    names_[key] = name;
    text += name;
    return true;
}

}  // namespace ScanEngine
