#include "function_registry.h"

#include <array>

#include "handler_frame.h"
#include "orvik/functions/handlers.h"

namespace ScanEngine {
namespace {

template <FunctionId Id, HandlerBody Body, std::int64_t FailureResult = -1, HandlerGate Gate = nullptr>
constexpr RegistryRow Row() {
    return {Id, &Handler<Id, Body, FailureResult, Gate>};
}

using F = FunctionId;

constexpr std::array kRegistry = {
#define ORVIK_FUNCTION(name, Family, Handler, failure, gate, ...) Row<F::name, &Family::Handler, failure, gate>(),
#include "function_table.inc"
#undef ORVIK_FUNCTION
};

// Registration order is catalogue order; each function appears once.
constexpr bool InCatalogueOrder() {
    for (std::size_t i = 1; i < kRegistry.size(); ++i) {
        if (kRegistry[i - 1].id >= kRegistry[i].id) return false;
    }
    return true;
}
static_assert(InCatalogueOrder(), "registry rows must follow catalogue order without repeats");
static_assert(kRegistry.size() == kFunctionCount, "every catalogued function is registered");

}  // namespace

std::span<const RegistryRow> FunctionRegistry() { return kRegistry; }

}  // namespace ScanEngine
