#include "pe_image.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace OrvikTest {
namespace {

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    template <typename T>
    T At(std::uint64_t offset) const {
        if (offset + sizeof(T) > bytes_.size()) throw std::out_of_range("read past the end of the file");
        T value;
        std::memcpy(&value, bytes_.data() + offset, sizeof value);
        return value;
    }
    std::string TextAt(std::uint64_t offset) const {
        std::string text;
        for (char c; (c = static_cast<char>(At<std::uint8_t>(offset))) != '\0'; ++offset) text += c;
        return text;
    }

private:
    const std::vector<std::uint8_t>& bytes_;
};

struct Section {
    std::uint32_t virtual_address, virtual_size, raw_offset, raw_size;
};

}  // namespace

PeTables ReadPeTables(const std::vector<std::uint8_t>& file) {
    PeTables tables;
    try {
        const Reader r(file);
        if (r.At<std::uint16_t>(0) != 0x5A4D) throw std::runtime_error("no MZ header");
        const std::uint32_t pe = r.At<std::uint32_t>(0x3C);
        if (r.At<std::uint32_t>(pe) != 0x00004550) throw std::runtime_error("no PE signature");
        const std::uint16_t section_count = r.At<std::uint16_t>(pe + 6);
        const std::uint16_t optional_size = r.At<std::uint16_t>(pe + 20);
        const std::uint64_t optional = pe + 24;
        if (r.At<std::uint16_t>(optional) != 0x20B) throw std::runtime_error("not a 64-bit image");

        std::vector<Section> sections;
        for (std::uint16_t i = 0; i < section_count; ++i) {
            const std::uint64_t s = optional + optional_size + 40ull * i;
            sections.push_back({r.At<std::uint32_t>(s + 12), r.At<std::uint32_t>(s + 8), r.At<std::uint32_t>(s + 20),
                                r.At<std::uint32_t>(s + 16)});
        }
        auto offset_of = [&](std::uint32_t rva) -> std::uint64_t {
            for (const Section& s : sections) {
                const std::uint32_t size = s.virtual_size ? s.virtual_size : s.raw_size;
                if (rva >= s.virtual_address && rva < s.virtual_address + size)
                    return std::uint64_t{s.raw_offset} + (rva - s.virtual_address);
            }
            throw std::runtime_error("address outside every section");
        };

        const std::uint32_t export_rva = r.At<std::uint32_t>(optional + 112);
        if (export_rva != 0) {
            const std::uint64_t dir = offset_of(export_rva);
            tables.export_count = r.At<std::uint32_t>(dir + 20);
            const std::uint32_t name_count = r.At<std::uint32_t>(dir + 24);
            const std::uint64_t names = offset_of(r.At<std::uint32_t>(dir + 32));
            for (std::uint32_t i = 0; i < name_count; ++i)
                tables.export_names.push_back(r.TextAt(offset_of(r.At<std::uint32_t>(names + 4ull * i))));
        }

        const std::uint32_t import_rva = r.At<std::uint32_t>(optional + 120);
        if (import_rva != 0) {
            for (std::uint64_t d = offset_of(import_rva);; d += 20) {
                const std::uint32_t name = r.At<std::uint32_t>(d + 12);
                if (name == 0) break;
                tables.imported_dlls.push_back(r.TextAt(offset_of(name)));
            }
        }
    } catch (const std::exception& e) {
        tables.error = e.what();
    }
    return tables;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace OrvikTest
