// System functions: commands and the process environment.
#pragma once

#include <cstdint>

#include "orvik/context/handler_frame.h"

namespace ScanEngine::System {

std::int64_t OsExecute(Invocation& call);
std::int64_t OsGetenv(Invocation& call);

}  // namespace ScanEngine::System
