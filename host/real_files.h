// The reference host's access to real files, for the content and removal
// services: what a host engine does with the file system on a rule's behalf.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace RefHost {

// Reads at most `max_size` bytes of the file at the UTF-8 `path`, in file
// order and in chunks of at most 64 KiB. Returns 0 or the Windows error code.
std::uint32_t ReadRealFile(const std::string& path, std::uint64_t max_size,
                           const std::function<void(const std::uint8_t*, std::uint64_t)>& chunk);

// Deletes the file at the UTF-8 `path`. Returns 0 or the Windows error code,
// with the system's message for it in `message`.
std::uint32_t DeleteRealFile(const std::string& path, std::string& message);

}  // namespace RefHost
