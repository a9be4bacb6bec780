// The standard failure lines of a handler call.
#pragma once

#include <cstdint>

#include "common/error.h"
#include "host_abi.h"

namespace ScanEngine {

// Logs "Malformed functional call '<function>': <error text>" at level 2 and
// gives the failure result (-1 unless the function defines another).
std::int64_t ReportMalformedCall(const Common::Error& error, Abi::CallContext* call, std::int64_t result = -1);
std::int64_t ReportMalformedCall(const char* text, Abi::CallContext* call, std::int64_t result = -1);
// The same line for a call that needs the triggering process and has none.
std::int64_t ReportNoProcessInfo(Abi::CallContext* call);

}  // namespace ScanEngine
