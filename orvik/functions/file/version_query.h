// The pieces of reading a version resource that need no system: which
// translation comes first, the name of its original-file-name entry, and how
// much of a returned value lies inside the resource copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace ScanEngine::File {

// The first entry of a "\VarFileInfo\Translation" value of `size` bytes as
// (language << 16 | code page), or nothing when the value holds no full entry.
std::optional<std::uint32_t> FirstTranslation(const void* value, std::size_t size);

// "\StringFileInfo\<8 lower-case hex digits>\OriginalFilename" for a
// translation as FirstTranslation gives it.
std::string OriginalFilenameQuery(std::uint32_t translation);

// How many of the `claimed` 16-bit units at `value` lie within the `size`
// bytes at `block`: a length the system reports is never trusted beyond the
// copy it points into. 0 when `value` is null or outside the block.
std::size_t UnitsInside(const void* block, std::size_t size, const void* value, std::size_t claimed);

}  // namespace ScanEngine::File
