// Hex text: decoding undoes any encoding of either case; a text is whole hex exactly when it decodes to half its
// length; a pair that is not hex spoils the whole result.
#include <cctype>
#include <vector>

#include "common/hex_text.h"
#include "fuzz_check.h"
#include "orvik/functions/process/sid_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    std::string mixed;  // each digit's case from the bytes themselves
    for (std::size_t i = 0; i < size; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, (data[i] ^ i) & 1 ? "%02X" : "%02x", data[i]);
        mixed += pair;
    }
    FUZZ_CHECK(Common::DecodeHexPairs(mixed) == bytes && Common::IsWholeHexText(mixed));
    FUZZ_CHECK(Common::DecodeHexPairs(ScanEngine::Process::SidHexText(data, size)) == bytes);
    // The bytes as text.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::uint8_t> decoded = Common::DecodeHexPairs(text);
    const bool whole = Common::IsWholeHexText(text);
    FUZZ_CHECK(whole == (decoded.size() * 2 == size) && (decoded.empty() || decoded.size() == size / 2));
    bool all_hex = true;
    for (std::size_t i = 0; i < size - size % 2; ++i) all_hex = all_hex && std::isxdigit(data[i]);
    FUZZ_CHECK(all_hex == (decoded.size() == size / 2));
    return 0;
}
