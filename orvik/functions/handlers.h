// The handler of every extension function, declared from the function table:
// a handler's signature is checked against its row wherever it is defined.
#pragma once

#include <cstdint>
#include <optional>

#include "orvik/context/handler_frame.h"

namespace ScanEngine {

#define ORVIK_FUNCTION(name, Family, Handler, ...) \
    namespace Family {                             \
    std::int64_t Handler(Invocation& call);        \
    }
#include "orvik/context/function_table.inc"
#undef ORVIK_FUNCTION

namespace Process {
// set_process_logging's gate, run before argument parsing: systems without
// the setting get 50.
std::optional<std::int64_t> SetProcessLoggingGate() noexcept;
}  // namespace Process

}  // namespace ScanEngine
