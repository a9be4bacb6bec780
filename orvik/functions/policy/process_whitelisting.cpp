// Whitelisting and suppression of a process by its host uid. Both end in the
// same host operation; they differ in how the pid is found and in that only
// whitelisting tells the rules engine afterwards.
#include "common/error.h"
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include "target_process.h"

namespace ScanEngine::Policy {

std::int64_t WhitelistProcess(Invocation& call) {
    const auto puid = static_cast<std::uint64_t>(call.args.GetInteger(arg::puid));
    std::uint64_t pid = 0;
    if (const std::int32_t status = PidOfProcess(call, puid, pid); status != 0) return status;

    const std::int32_t result = call.library.WhitelistProcess(puid, static_cast<std::uint32_t>(pid));
    // The whitelisting is done: a failed notice must not turn its result into a failure.
    try {
        call.context.OnProcessWhitelisted(puid);
    } catch (const Common::Error& error) {
        call.context.Log(kLogWarning, "whitelist_process: rules engine not notified: " + error.Text());
    }
    return result;
}

std::int64_t SuppressProcess(Invocation& call) {
    const auto puid = static_cast<std::uint64_t>(call.args.GetInteger(arg::puid));
    std::uint64_t pid = 0;
    if (const std::int32_t status = call.context.ResolveProcessForSuppression(puid, pid); status != 0) return status;
    return call.library.WhitelistProcess(puid, static_cast<std::uint32_t>(pid));
}

}  // namespace ScanEngine::Policy
