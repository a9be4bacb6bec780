#include "memory_statistic_text.h"

#include <cstdio>

#include "common/json_escape.h"

namespace ScanEngine::Process {
namespace {

constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint16_t kMachineX86 = 0x14C;
constexpr std::uint16_t kMachineX64 = 0x8664;
// Where the section table starts after the PE signature, by machine: the
// fixed size of the headers with a full optional header.
constexpr std::uint64_t kTableOffsetX86 = 0xF8;
constexpr std::uint64_t kTableOffsetX64 = 0x108;
constexpr std::uint16_t kMaxSections = 1000;

std::uint16_t ReadU16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t ReadU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::string Pointer(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(value));
    return text;
}

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string Decimal(std::uint64_t value) { return std::to_string(value); }

// Names come from another process in no known encoding: every byte outside
// printable ASCII is escaped, so the text stays ASCII and every byte survives.
std::string Name(std::string_view name) { return Common::JsonEscape(name, Common::JsonHighBytes::kEscapeEach); }

// Appends "name":"value" (with a leading comma unless it is the object's first member).
void Member(std::string& out, const char* name, const std::string& value, bool first = false) {
    if (!first) out += ',';
    out += '"';
    out += name;
    out += "\":\"";
    out += value;
    out += '"';
}

template <typename Item, typename Write>
void Array(std::string& out, const char* name, const std::vector<Item>& items, Write write, bool first = false) {
    if (!first) out += ',';
    out += '"';
    out += name;
    out += "\":[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0) out += ',';
        write(out, items[i]);
    }
    out += ']';
}

void WriteSection(std::string& out, const SectionEntry& section) {
    out += '{';
    Member(out, "name", Name(section.header.name), true);
    Member(out, "base", Pointer(section.header.relative_address));
    Member(out, "size", Hex(section.header.raw_size));
    Member(out, "oprot", Hex(section.header.characteristics));
    Member(out, "cprot", Hex(section.current_protection));
    out += '}';
}

void WriteModule(std::string& out, const ModuleEntry& module) {
    out += '{';
    Member(out, "name", Name(module.name), true);
    Member(out, "base", Pointer(module.base));
    Member(out, "size", Hex(module.size));
    Array(out, "sections", module.sections, WriteSection);
    out += '}';
}

void WriteRegion(std::string& out, const RegionEntry& region) {
    out += '{';
    Member(out, "base", Pointer(region.base), true);
    Member(out, "abase", Pointer(region.allocation_base));
    Member(out, "aprot", Hex(region.allocation_protection));
    Member(out, "size", Hex(region.size));
    Member(out, "state", Hex(region.state));
    Member(out, "prot", Hex(region.protection));
    out += '}';
}

void WriteThread(std::string& out, std::uint64_t start) {
    out += '{';
    Member(out, "entrypoint", Pointer(start), true);
    out += '}';
}

void WriteEndpoint(std::string& out, const EndpointEntry& endpoint) {
    out += '{';
    Member(out, "state", Decimal(endpoint.state), true);
    Member(out, "laddr", Hex(endpoint.local_address));
    Member(out, "lport", Hex(endpoint.local_port));
    Member(out, "raddr", Hex(endpoint.remote_address));
    Member(out, "rport", Hex(endpoint.remote_port));
    out += '}';
}

}  // namespace

std::vector<SectionHeader> ReadSectionHeaders(std::span<const std::uint8_t> page) {
    if (page.size() < 0x40) return {};
    const std::uint64_t header = ReadU32(page, 0x3C);
    if (header >= page.size() || header + 24 > page.size()) return {};

    const std::uint16_t count = ReadU16(page, header + 6);
    if (count == 0 || count > kMaxSections) return {};
    std::uint64_t table = 0;
    switch (ReadU16(page, header + 4)) {
        case kMachineX86: table = header + kTableOffsetX86; break;
        case kMachineX64: table = header + kTableOffsetX64; break;
        default: return {};
    }

    // The count may promise more headers than the page holds: stop at its end.
    std::vector<SectionHeader> sections;
    for (std::uint64_t at = table; sections.size() < count && at + kSectionHeaderSize <= page.size();
         at += kSectionHeaderSize) {
        SectionHeader section;
        const auto* name = reinterpret_cast<const char*>(page.data() + at);
        std::size_t length = 0;
        while (length < 8 && name[length] != '\0') ++length;
        section.name.assign(name, length);
        section.relative_address = ReadU32(page, at + 12);
        section.raw_size = ReadU32(page, at + 16);
        section.characteristics = ReadU32(page, at + 36);
        sections.push_back(std::move(section));
    }
    return sections;
}

std::uint16_t PortFromTableField(std::uint32_t field) {
    return static_cast<std::uint16_t>((field & 0xFF) << 8 | (field >> 8 & 0xFF));
}

std::string FormatMemoryStatistic(const MemoryStatistic& statistic) {
    std::string out = "{";
    Array(out, "mods", statistic.modules, WriteModule, true);
    Array(out, "vmem", statistic.regions, WriteRegion);
    Array(out, "threads", statistic.thread_starts, WriteThread);
    Array(out, "inet", statistic.endpoints, WriteEndpoint);
    out += '}';
    return out;
}

}  // namespace ScanEngine::Process
