// The memory statistic of a process as JSON text, and the section headers of
// a module read from the first page of its image. Nothing here asks the
// system: the collector hands in what it read, and every byte that came from
// the other process is treated as hostile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ScanEngine::Process {

// Only this much of a module image is read for its headers.
inline constexpr std::size_t kHeaderPageSize = 4096;

struct SectionHeader {
    std::string name;  // up to the first nul, at most 8 bytes
    std::uint32_t relative_address = 0;
    std::uint32_t raw_size = 0;
    std::uint32_t characteristics = 0;
};

struct SectionEntry {
    SectionHeader header;
    std::uint32_t current_protection = 0;  // 0 when it could not be queried
};

struct ModuleEntry {
    std::string name;
    std::uint64_t base = 0;
    std::uint64_t size = 0;
    std::vector<SectionEntry> sections;
};

struct RegionEntry {
    std::uint64_t base = 0;
    std::uint64_t allocation_base = 0;
    std::uint32_t allocation_protection = 0;
    std::uint64_t size = 0;
    std::uint32_t state = 0;
    std::uint32_t protection = 0;
};

struct EndpointEntry {
    std::uint32_t state = 0;
    std::uint32_t local_address = 0;  // as stored in the table row
    std::uint16_t local_port = 0;     // host byte order
    std::uint32_t remote_address = 0;
    std::uint16_t remote_port = 0;
};

struct MemoryStatistic {
    std::vector<ModuleEntry> modules;
    std::vector<RegionEntry> regions;
    std::vector<std::uint64_t> thread_starts;
    std::vector<EndpointEntry> endpoints;
};

// The section headers found in the first page of an image (PE header offset
// at 0x3C, 1 to 1000 sections, x86 or x64 machine). Only headers that lie
// wholly inside `page` are returned; anything malformed gives none.
std::vector<SectionHeader> ReadSectionHeaders(std::span<const std::uint8_t> page);

// A port field of a TCP table row (network byte order in its low 16 bits) in host order.
std::uint16_t PortFromTableField(std::uint32_t field);

// The statistic text: {"mods":[...],"vmem":[...],"threads":[...],"inet":[...]},
// every value a string, no spaces, names escaped down to printable ASCII.
std::string FormatMemoryStatistic(const MemoryStatistic& statistic);

}  // namespace ScanEngine::Process
