#include "call_reporting.h"

#include "call_context.h"
#include "common/format_string.h"

namespace ScanEngine {

std::int64_t ReportMalformedCall(const char* text, Abi::CallContext* call, std::int64_t result) {
    CallContextRef context(call);
    context.Log(kLogError, Common::FormatString("Malformed functional call '%s': %s", context.FunctionName(), text));
    return result;
}

std::int64_t ReportMalformedCall(const Common::Error& error, Abi::CallContext* call, std::int64_t result) {
    return ReportMalformedCall(error.Text().c_str(), call, result);
}

std::int64_t ReportNoProcessInfo(Abi::CallContext* call) {
    return ReportMalformedCall("No process info available in current context", call);
}

}  // namespace ScanEngine
