#include "function_registry.h"

#include <array>

#include "handler_frame.h"
#include "orvik/functions/policy/policy_functions.h"

namespace ScanEngine {
namespace {

template <FunctionId Id, HandlerBody Body, std::int64_t FailureResult = -1>
constexpr RegistryRow Row() {
    return {Id, &Handler<Id, Body, FailureResult>};
}

using F = FunctionId;

constexpr std::array kRegistry = {
    Row<F::get_current_action_on_detection, &Policy::GetCurrentActionOnDetection>(),
    Row<F::get_unix_group_info, &Policy::GetUnixGroupInfo>(),
    Row<F::get_unix_user_info, &Policy::GetUnixUserInfo>(),
    Row<F::is_engine_enabled, &Policy::IsEngineEnabled>(),
    Row<F::is_process_termination_enabled, &Policy::IsProcessTerminationEnabled>(),
    Row<F::probability_check, &Policy::ProbabilityCheck>(),
    Row<F::set_process_monitored_status, &Policy::SetProcessMonitoredStatus>(),
    Row<F::suppress_process, &Policy::SuppressProcess>(),
    Row<F::whitelist_process, &Policy::WhitelistProcess>(),
};

// Registration order is catalogue order; each function appears once.
constexpr bool InCatalogueOrder() {
    for (std::size_t i = 1; i < kRegistry.size(); ++i) {
        if (kRegistry[i - 1].id >= kRegistry[i].id) return false;
    }
    return true;
}
static_assert(InCatalogueOrder(), "registry rows must follow catalogue order without repeats");

}  // namespace

std::span<const RegistryRow> FunctionRegistry() { return kRegistry; }

}  // namespace ScanEngine
