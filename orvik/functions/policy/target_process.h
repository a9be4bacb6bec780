// Finding the pid of a process named by its host uid.
#pragma once

#include <cstdint>

#include "orvik/context/handler_frame.h"

namespace ScanEngine::Policy {

// The triggering process's own pid when `puid` names it (and the host knows
// its pid), otherwise the host's resolution of `puid`. Returns 0, or the
// resolution's non-zero status (then `pid` means nothing).
std::int32_t PidOfProcess(Invocation& call, std::uint64_t puid, std::uint64_t& pid);

}  // namespace ScanEngine::Policy
