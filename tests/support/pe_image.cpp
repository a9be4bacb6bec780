#include "pe_image.h"

#include <fstream>
#include <iterator>

namespace OrvikTest {

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace OrvikTest
