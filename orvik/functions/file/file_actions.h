// Pieces shared by the file query functions: the time unit a rule asks for,
// the conversion of Windows file times, one attribute query for all of them,
// and the log line for a failed system call.
#pragma once

#include <cstdint>
#include <string>

#include "orvik/argparse/arg_parse.h"
#include "orvik/context/call_context.h"

namespace ScanEngine::File {

enum class TimePrecision : std::uint32_t { Seconds = 0, Milliseconds = 1, Microseconds = 2 };

// The unit named by the optional `time_precision` argument: 1 for seconds,
// 1000 for milliseconds, 1000000 or 0 for microseconds; `fallback` when it
// is absent. Any other value throws Common::Error.
TimePrecision ParseTimePrecision(const ArgParse& args, TimePrecision fallback);

// A file time (100 ns units since 1601-01-01 UTC) as a count since the Unix
// epoch in the given unit, truncated. Times before 1970 give 0.
std::uint64_t FileTimeToUnix(std::uint64_t file_time, TimePrecision precision);

// Where a query puts each fact of a file; a null member is not asked for.
struct FileFacts {
    std::uint64_t* size = nullptr;
    std::uint32_t* attributes = nullptr;
    std::uint64_t* creation_time = nullptr;
    std::uint64_t* last_write_time = nullptr;
};

// The standard attribute data of `path` (UTF-8, handed to the system without
// a long-path prefix), times in `precision`. Returns 0 or the Windows error
// code.
std::uint32_t QueryFileAttributes(const std::string& path, const FileFacts& facts, TimePrecision precision);

// Logs "0x<code>: <system message>" at level 2 for a nonzero code.
void LogWindowsError(const CallContextRef& call, std::uint32_t code);

}  // namespace ScanEngine::File
