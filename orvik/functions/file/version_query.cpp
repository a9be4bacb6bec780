#include "version_query.h"

#include <algorithm>
#include <cstring>

#include "common/format_string.h"

namespace ScanEngine::File {

std::optional<std::uint32_t> FirstTranslation(const void* value, std::size_t size) {
    if (value == nullptr || size < 4) return std::nullopt;
    std::uint16_t entry[2];  // language, then code page
    std::memcpy(entry, value, sizeof entry);
    return static_cast<std::uint32_t>(entry[0]) << 16 | entry[1];
}

std::string OriginalFilenameQuery(std::uint32_t translation) {
    return Common::FormatString("\\StringFileInfo\\%08x\\OriginalFilename", static_cast<unsigned>(translation));
}

std::size_t UnitsInside(const void* block, std::size_t size, const void* value, std::size_t claimed) {
    if (block == nullptr || value == nullptr) return 0;
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const auto at = reinterpret_cast<std::uintptr_t>(value);
    if (at < begin || at - begin >= size) return 0;
    return std::min(claimed, (size - (at - begin)) / 2);
}

}  // namespace ScanEngine::File
