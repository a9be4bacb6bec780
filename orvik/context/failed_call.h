// One line for a Windows call that failed, said the same way everywhere.
#pragma once

#include <windows.h>

#include <cstdint>

#include "call_context.h"
#include "common/format_string.h"

namespace ScanEngine {

// For the Windows call that has just failed: takes its error code before
// anything else can change it, logs `format` with that code as the first
// value (as an int) and `more` after it, and returns the code.
template <typename... More>
DWORD LogFailedCall(const CallContextRef& call, std::uint32_t level, const char* format, More... more) {
    const DWORD code = GetLastError();
    call.Log(level, Common::FormatString(format, static_cast<int>(code), more...));
    return code;
}

}  // namespace ScanEngine
