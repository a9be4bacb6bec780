// Snapshot items: start times never wrap below 1970, and each item appended reads back as its four numbers without
// touching the text before it.
#include "fuzz_check.h"
#include "orvik/functions/process/snapshot_text.h"

using namespace ScanEngine::Process;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // 1970-01-01 in 100 ns units since 1601-01-01: 369 years with 89 leap days.
    constexpr std::uint64_t kEpoch = (369ULL * 365 + 89) * 86400 * 10000000;
    const auto file_time = in.ConsumeIntegral<std::uint64_t>();
    const std::uint64_t start = StartTimeFromFileTime(file_time);
    FUZZ_CHECK(start == (file_time < kEpoch ? 0 : (file_time - kEpoch) / 10));
    std::string text = in.ConsumeRandomLengthString(16);
    const std::string before = text;
    const auto pid = in.ConsumeIntegral<std::uint32_t>(), parent = in.ConsumeIntegral<std::uint32_t>();
    const auto parent_start = in.ConsumeIntegral<std::uint64_t>();
    AppendSnapshotItem(text, pid, start, parent, parent_start);
    FUZZ_CHECK(text.compare(0, before.size(), before) == 0);
    const std::string item = text.substr(before.size());
    unsigned read_pid = 0, read_parent = 0;
    unsigned long long read_start = 0, read_parent_start = 0;
    int end = 0;
    FUZZ_CHECK(std::sscanf(item.c_str(), "%u,%llu,%u,%llu;%n", &read_pid, &read_start, &read_parent,
                           &read_parent_start, &end) == 4);
    FUZZ_CHECK(static_cast<std::size_t>(end) == item.size() && read_pid == pid && read_start == start);
    FUZZ_CHECK(read_parent == parent && read_parent_start == parent_start && item.find_first_of(" +-") == std::string::npos);
    return 0;
}
