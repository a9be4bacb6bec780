// The fields of an alert record that are computed from the rule's texts: the
// file's folder and name, and the digests at the fixed sizes the host reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ScanEngine::Policy {

inline constexpr std::size_t kMd5Size = 16;
inline constexpr std::size_t kSha1Size = 20;
inline constexpr std::size_t kSha256Size = 32;

// Everything before the last '/' or '\'; the whole path when it has neither.
// A bare drive ("C:") gets its backslash back, so it still names the root.
std::string AlertFolder(std::string_view path);

// The last component, after the last '/' or '\', once a leading "\\?\UNC\" or
// "\\?\" and any trailing separators are dropped.
std::string AlertFileName(std::string_view path);

// Fills `out` (exactly `size` bytes) with the decoded hex digest, zeros where
// the text gave nothing: the host reads the full size whatever the text was.
// True when the text was exactly `size` bytes of hex; an empty, invalid,
// short or long text still fills `out` but gives false.
bool DecodeDigest(std::string_view text, std::uint8_t* out, std::size_t size);

}  // namespace ScanEngine::Policy
