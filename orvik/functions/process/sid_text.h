// The textual form of a binary security identifier ("S-1-5-21-..."). Pure
// computation, shared by every function that shows a SID to a rule.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ScanEngine::Process {

// Largest binary SID: 8 header bytes and eight sub-authorities.
inline constexpr std::size_t kMaxSidSize = 8 + 4 * 8;

// "S-1-<authority>-<sub>-..." for a well-formed binary SID (revision 1, at
// most eight sub-authorities, size exactly 8 + 4 * count, at least 12 bytes);
// "" for anything else. An authority whose two high bytes are zero is written
// in decimal, any other as "0x" and twelve lowercase hex digits.
std::string SidText(const std::uint8_t* bytes, std::size_t size);

}  // namespace ScanEngine::Process
