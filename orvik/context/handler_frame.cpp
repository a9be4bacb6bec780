#include "handler_frame.h"

#include <exception>

#include "call_reporting.h"

namespace ScanEngine {

std::int64_t RunHandler(FunctionId id, HandlerBody body, std::int64_t failure_result, HandlerGate gate,
                        std::uint32_t argc, const Abi::ArgumentValue* argv, const Abi::CallSite* site,
                        Abi::CallContext* call, void* library) noexcept {
    if (gate != nullptr) {
        if (const std::optional<std::int64_t> result = gate()) return *result;
    }
    // Without a call context there is nowhere to report to.
    if (call == nullptr) return failure_result;
    try {
        try {
            ArgParse args(CatalogueEntry(id).arguments, argc, argv, call);
            if (library == nullptr) throw COMMON_ERROR("no library context");
            Invocation invocation{args, CallContextRef(call), *static_cast<LibraryContext*>(library), site};
            return body(invocation);
        } catch (const Common::Error& error) {
            return ReportMalformedCall(error, call, failure_result);
        } catch (const std::exception& error) {
            // Anything else (allocation failure, a library fault) must not reach the host either.
            return ReportMalformedCall(error.what(), call, failure_result);
        } catch (...) {
            return ReportMalformedCall("unexpected exception", call, failure_result);
        }
    } catch (...) {
        // Reporting itself failed (out of memory while formatting): the result still stands.
        return failure_result;
    }
}

}  // namespace ScanEngine
