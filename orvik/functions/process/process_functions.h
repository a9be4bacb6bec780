// Process functions: the host's process cache, process tree and categories.
#pragma once

#include <cstdint>

#include "orvik/context/handler_frame.h"

namespace ScanEngine::Process {

std::int64_t GetProcessInfo(Invocation& call);
std::int64_t GetProcessTreeJson(Invocation& call);
std::int64_t GetProcessCategories(Invocation& call);
std::int64_t IsProcessTerminable(Invocation& call);

}  // namespace ScanEngine::Process
