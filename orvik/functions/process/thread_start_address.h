// The start address of a thread as the system recorded it at its creation.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

namespace ScanEngine::Process {

// Nothing when the system offers no such query; 0 when the query fails.
// The handle needs THREAD_QUERY_INFORMATION.
std::optional<std::uint64_t> QueryThreadStartAddress(HANDLE thread);

}  // namespace ScanEngine::Process
