// SID texts: whatever the reader accepts, the C library's scanf reads alike; a canonical text reads back into its
// SID; a failure changes nothing, and nothing is written past the buffer's given size.
#include <algorithm>
#include <vector>

#include "fuzz_check.h"
#include "orvik/functions/process/sid_parse.h"

using ScanEngine::Process::ParseSidText;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::size_t room = in.ConsumeIntegralInRange<std::size_t>(0, 48);
    const std::string text = in.ConsumeRandomLengthString(160);
    std::vector<std::uint8_t> buffer(room, 0xAA);  // exactly `room` bytes
    std::size_t length = room;
    if (!ParseSidText(text, buffer.data(), length)) {
        FUZZ_CHECK(length == room && std::count(buffer.begin(), buffer.end(), 0xAA) == static_cast<long>(room));
    } else if (text.find('\0') == std::string::npos) {  // scanf stops at a nul, the reader does not
        std::uint32_t f[10] = {};
        long long authority = 0;
        const int n = std::sscanf(text.c_str(), "S-%u-%lld-%u-%u-%u-%u-%u-%u-%u-%u", &f[0], &authority, &f[2], &f[3],
                                  &f[4], &f[5], &f[6], &f[7], &f[8], &f[9]);
        FUZZ_CHECK(n >= 2 && f[0] == 1 && buffer[0] == 1 && buffer[1] == n - 2 && length == 8 + 4 * buffer[1]);
        for (int i = 0; i < 6; ++i) FUZZ_CHECK(buffer[2 + i] == static_cast<std::uint8_t>(authority >> (40 - 8 * i)));
        for (int i = 0; i < 4 * (n - 2); ++i) FUZZ_CHECK(buffer[8 + i] == static_cast<std::uint8_t>(f[2 + i / 4] >> (i % 4 * 8)));
    }

    // The canonical text of a SID made from the remaining bytes.
    const auto subs = in.ConsumeIntegralInRange<std::size_t>(0, 8);
    const std::uint64_t id = in.ConsumeIntegral<std::uint64_t>() & 0xFFFFFFFFFFFF;
    std::string canonical = "S-1-" + std::to_string(id);
    std::vector<std::uint8_t> expected = {1, static_cast<std::uint8_t>(subs)};
    for (int i = 5; i >= 0; --i) expected.push_back(static_cast<std::uint8_t>(id >> (8 * i)));
    for (std::size_t i = 0; i < subs; ++i) {
        const auto sub = in.ConsumeIntegral<std::uint32_t>();
        canonical += "-" + std::to_string(sub);
        for (int b = 0; b < 4; ++b) expected.push_back(static_cast<std::uint8_t>(sub >> (8 * b)));
    }
    std::vector<std::uint8_t> sid(expected.size());
    length = sid.size();
    FUZZ_CHECK(ParseSidText(canonical, sid.data(), length) && sid == expected && length == sid.size());
    return 0;
}
