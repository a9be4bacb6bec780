// The text form of the process snapshot, apart from the system calls.
#pragma once

#include <cstdint>
#include <string>

namespace ScanEngine::Process {

// Microseconds since 1970-01-01 UTC from a creation time in 100 ns units since
// 1601-01-01; 0 ("not available") for a time before 1970, which would
// otherwise wrap around to a huge value.
std::uint64_t StartTimeFromFileTime(std::uint64_t file_time);

// Appends "pid,start,parent,parent start;".
void AppendSnapshotItem(std::string& text, std::uint32_t pid, std::uint64_t start, std::uint32_t parent_pid,
                        std::uint64_t parent_start);

}  // namespace ScanEngine::Process
