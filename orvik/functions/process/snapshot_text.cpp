#include "snapshot_text.h"

#include "common/format_string.h"

namespace ScanEngine::Process {

std::uint64_t StartTimeFromFileTime(std::uint64_t file_time) {
    constexpr std::uint64_t kUnixEpochMicroseconds = 11644473600000000ULL;  // 1601 to 1970
    const std::uint64_t microseconds = file_time / 10;
    return microseconds < kUnixEpochMicroseconds ? 0 : microseconds - kUnixEpochMicroseconds;
}

void AppendSnapshotItem(std::string& text, std::uint32_t pid, std::uint64_t start, std::uint32_t parent_pid,
                        std::uint64_t parent_start) {
    text += Common::FormatString("%u,%llu,%u,%llu;", pid, static_cast<unsigned long long>(start), parent_pid,
                                 static_cast<unsigned long long>(parent_start));
}

}  // namespace ScanEngine::Process
