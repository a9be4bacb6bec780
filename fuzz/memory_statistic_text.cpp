// The memory statistic: section headers read from a hostile page stay inside it, and the text is printable-ASCII
// strict JSON that carries every name byte and every number.
#include <cstdlib>

#include "common/utf.h"
#include "fuzz_check.h"
#include "orvik/functions/process/memory_statistic_text.h"

using namespace ScanEngine::Process;

static std::uint64_t Hex(const Json::Value& v) { return std::strtoull(v.asCString(), nullptr, 16); }

// A name's bytes read as Latin-1, in UTF-8: what the escaped text must decode to.
static std::string Latin1(const std::string& bytes) {
    return Common::Utf16ToUtf8(std::u16string(reinterpret_cast<const unsigned char*>(bytes.data()),
                                              reinterpret_cast<const unsigned char*>(bytes.data()) + bytes.size()));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    ModuleEntry module{in.ConsumeRandomLengthString(40), in.ConsumeIntegral<std::uint64_t>(),
                       in.ConsumeIntegral<std::uint64_t>(), {}};
    const auto field = in.ConsumeIntegral<std::uint32_t>();
    const std::vector<std::uint8_t> page = in.ConsumeRemainingBytes<std::uint8_t>();  // its own allocation
    for (const SectionHeader& header : ReadSectionHeaders(page)) {
        FUZZ_CHECK(header.name.size() <= 8 && header.name.find('\0') == std::string::npos);
        module.sections.push_back({header, field});
    }
    MemoryStatistic statistic{{module}, {{module.size, 0, field, module.base, 0, 0}}, {module.base}, {}};
    statistic.endpoints = {{field, field, PortFromTableField(field), field, 0}};
    const std::string text = FormatMemoryStatistic(statistic);
    for (const char c : text) FUZZ_CHECK(c >= 0x20 && c < 0x7F);
    const Json::Value s = Fuzz::StrictJson(text);
    const Json::Value& mod = s["mods"][0];
    FUZZ_CHECK(mod["name"].asString() == Latin1(module.name) && Hex(mod["base"]) == module.base);
    FUZZ_CHECK(Hex(mod["size"]) == module.size && mod["sections"].size() == module.sections.size());
    for (Json::ArrayIndex i = 0; i < mod["sections"].size(); ++i) {
        const Json::Value& section = mod["sections"][i];
        const SectionHeader& header = module.sections[i].header;
        FUZZ_CHECK(section["name"].asString() == Latin1(header.name) && Hex(section["cprot"]) == field);
        FUZZ_CHECK(Hex(section["base"]) == header.relative_address && Hex(section["size"]) == header.raw_size);
    }
    const Json::Value& region = s["vmem"][0];
    FUZZ_CHECK(Hex(region["base"]) == module.size && Hex(region["aprot"]) == field && Hex(region["size"]) == module.base);
    FUZZ_CHECK(Hex(s["threads"][0]["entrypoint"]) == module.base && s["inet"][0]["state"].asString() == std::to_string(field));
    FUZZ_CHECK(Hex(s["inet"][0]["lport"]) == ((field & 0xFF) << 8 | (field >> 8 & 0xFF)));
    return 0;
}
