#pragma once

#include <cstdint>
#include <string>

namespace ScanEngine::Policy {

// 16 bytes as upper-case hex in the 8-4-4-4-12 grouping, bytes in the given order.
std::string UuidText(const std::uint8_t (&bytes)[16]);

}  // namespace ScanEngine::Policy
