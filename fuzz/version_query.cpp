// Version resource pieces: the first translation is the first two 16-bit words, the query names it in eight lower-
// case digits, and a claimed length never reaches outside the resource copy.
#include <algorithm>
#include <vector>

#include "fuzz_check.h"
#include "orvik/functions/file/version_query.h"

using namespace ScanEngine::File;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto offset = in.ConsumeIntegral<std::uint16_t>();
    const auto claimed = in.ConsumeIntegral<std::size_t>();
    const std::vector<std::uint8_t> block = in.ConsumeRemainingBytes<std::uint8_t>();  // its own allocation
    const std::optional<std::uint32_t> first = FirstTranslation(block.data(), block.size());
    FUZZ_CHECK(first.has_value() == (block.size() >= 4));
    if (first) {
        FUZZ_CHECK(*first == (std::uint32_t{block[0]} << 16 | std::uint32_t{block[1]} << 24 | block[2] | block[3] << 8));
        char digits[9] = {};
        std::snprintf(digits, sizeof digits, "%04x%04x", *first >> 16, *first & 0xFFFF);
        FUZZ_CHECK(OriginalFilenameQuery(*first) == std::string("\\StringFileInfo\\") + digits + "\\OriginalFilename");
    }
    // A value anywhere from the block's start to a little past its end.
    const std::size_t at = offset % (block.size() + 8);
    const auto* value = reinterpret_cast<const std::uint8_t*>(reinterpret_cast<std::uintptr_t>(block.data()) + at);
    const std::size_t units = UnitsInside(block.data(), block.size(), value, claimed);
    FUZZ_CHECK(units <= claimed && (at >= block.size() ? units == 0 : units == std::min(claimed, (block.size() - at) / 2)));
    // Every unit counted lies in the block (at() throws otherwise).
    for (std::size_t i = 0; i < 2 * units; ++i) FUZZ_CHECK(value[i] == block.at(at + i));
    return 0;
}
