// Engine and process policy switches: thin pass-throughs to the host's policy
// store, the process whitelisting calls, and a random sampling test.
#pragma once

#include <cstdint>

#include "orvik/context/handler_frame.h"

namespace ScanEngine::Policy {

std::int64_t IsEngineEnabled(Invocation& call);
std::int64_t IsProcessTerminationEnabled(Invocation& call);
std::int64_t GetCurrentActionOnDetection(Invocation& call);
std::int64_t WhitelistProcess(Invocation& call);
std::int64_t SuppressProcess(Invocation& call);
std::int64_t SetProcessMonitoredStatus(Invocation& call);
std::int64_t ProbabilityCheck(Invocation& call);
std::int64_t GetUnixUserInfo(Invocation& call);
std::int64_t GetUnixGroupInfo(Invocation& call);

}  // namespace ScanEngine::Policy
