// The bytes of a built image, for tests that examine or rewrite it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace OrvikTest {

// The whole file; empty when it cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

}  // namespace OrvikTest
