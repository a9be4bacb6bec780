// Questions and switches whose answer belongs to the host's policy store; the
// host's integer result goes back to the rule unchanged.
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"

namespace ScanEngine::Policy {
namespace {

std::uint32_t EngineId(Invocation& call) { return static_cast<std::uint32_t>(call.args.GetInteger(arg::engine_id)); }

}  // namespace

std::int64_t IsEngineEnabled(Invocation& call) { return call.library.IsEngineEnabled(EngineId(call)); }

std::int64_t IsProcessTerminationEnabled(Invocation& call) {
    return call.library.IsProcessTerminationEnabled(EngineId(call));
}

std::int64_t GetCurrentActionOnDetection(Invocation& call) {
    return call.library.GetCurrentActionOnDetection(EngineId(call));
}

std::int64_t SetProcessMonitoredStatus(Invocation& call) {
    const auto uid = static_cast<std::uint64_t>(call.args.GetInteger(arg::puid));
    return call.library.SetProcessMonitoredStatus(uid, call.args.GetInteger(arg::enabled) != 0);
}

}  // namespace ScanEngine::Policy
