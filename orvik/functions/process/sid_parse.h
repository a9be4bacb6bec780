// Account texts in the direction from rule to system: a SID given as text
// read into its binary form, and the texts shown for a binary SID and for the
// account type the system reports. Pure computation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ScanEngine::Process {

// Reads "S-<revision>-<authority>-<sub>-..." the way the C library's scanf
// reads the pattern "S-%u-%lld-%u-%u-%u-%u-%u-%u-%u-%u": each number may be
// preceded by white space and a sign, the fields are read from the start
// until one does not match, and whatever follows is ignored.
//
// Succeeds when at least revision and authority were read, the revision is 1
// and `size` is at least 8 + 4 * sub-authorities; writes the binary SID
// (authority: the low 48 bits of its field, big-endian) to `buffer` and sets
// `size` to its length. On failure neither `buffer` nor `size` changes.
//
// A number too large for its field (above 4294967295 for a sub-authority or
// the revision, beyond the signed 64-bit range for the authority) fails the
// whole text, and so does a ninth sub-authority: cutting either down would
// name a different account.
bool ParseSidText(std::string_view text, std::uint8_t* buffer, std::size_t& size);

// The bytes as lowercase hex, two digits each, no separators.
std::string SidHexText(const std::uint8_t* bytes, std::size_t size);

// The name of an account type as the system numbers them (1 "User" to
// 11 "Logon Session"); "N/A" for any other value.
const char* SidTypeName(std::uint32_t type);

}  // namespace ScanEngine::Process
