// The digests the reference host computes for hash requests: MD5, SHA-1 and
// SHA-256 in one pass over the data, through the system's hashing service.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace RefHost {

// MD5 in bytes 0 to 15, SHA-1 in 16 to 35, SHA-256 in 36 to 67: the layout of
// preloaded digests in HostState::file_digests.
using FileDigests = std::array<std::uint8_t, 68>;

// All three digests of the real file at the UTF-8 `path`. Returns 0, the
// Windows error code of opening or reading the file, or the status the
// hashing service failed with.
std::uint32_t DigestRealFile(const std::string& path, FileDigests& digests);

// All three digests of bytes in memory (preloaded file content).
std::uint32_t DigestBytes(std::string_view bytes, FileDigests& digests);

}  // namespace RefHost
