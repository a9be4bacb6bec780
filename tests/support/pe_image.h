// Reads the export and import tables of a 64-bit PE file. Pure; bounds are
// checked, a malformed file gives an error text instead of a crash.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace OrvikTest {

struct PeTables {
    std::string error;  // empty when the file was read
    std::uint32_t export_count = 0;  // entries in the export address table
    std::vector<std::string> export_names;
    std::vector<std::string> imported_dlls;
};

PeTables ReadPeTables(const std::vector<std::uint8_t>& file);
std::vector<std::uint8_t> ReadFileBytes(const std::string& path);

}  // namespace OrvikTest
