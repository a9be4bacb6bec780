#include "function_catalogue.h"

#include <cstddef>
#include <iterator>
#include <string_view>

#include "argument_names.h"
#include "host_abi.h"

namespace ScanEngine {

namespace {

// One descriptor list per function, named after it.
namespace lists {
#define ORVIK_FUNCTION(name, family, handler, failure, gate, description, effect, result, services, ...) \
    constexpr ArgumentDescriptor name[] = {__VA_ARGS__ __VA_OPT__(, ) kEndOfArguments};
#include "function_table.inc"
#undef ORVIK_FUNCTION
}  // namespace lists

constexpr std::array<FunctionEntry, kFunctionCount> kEntries = {{
#define ORVIK_FUNCTION(name, family, handler, failure, gate, description, effect, result, services, ...) \
    {#name, lists::name, description, effect, result, services},
#include "function_table.inc"
#undef ORVIK_FUNCTION
}};

constexpr bool NamesDistinctAndDescribed() {
    for (std::size_t i = 0; i < kEntries.size(); ++i) {
        if (std::string_view(kEntries[i].description).empty() || std::string_view(kEntries[i].result).empty())
            return false;
        for (std::size_t j = i + 1; j < kEntries.size(); ++j) {
            if (std::string_view(kEntries[i].name) == std::string_view(kEntries[j].name)) return false;
        }
    }
    return true;
}
static_assert(NamesDistinctAndDescribed(), "every function has its own name, a description and a result line");

// A well-formed list: every name occurs once, the input flag matches the
// address kind and outputs are integer-valued (their value is the variable
// reference), and it is not longer than a call can carry.
constexpr bool IsWellFormed(const ArgumentDescriptor* list) {
    std::size_t count = 0;
    for (; list[count].name != nullptr; ++count) {
        const ArgumentDescriptor& d = list[count];
        if (d.label == nullptr) return false;
        if (d.value_kind != ArgKind::String && d.value_kind != ArgKind::Integer) return false;
        if (d.input != (d.address_kind == AddressKind::Input)) return false;
        if (!d.input && d.value_kind != ArgKind::Integer) return false;
        for (std::size_t j = 0; j < count; ++j) {
            if (std::string_view(d.name) == std::string_view(list[j].name)) return false;
        }
    }
    return count <= kMaxArguments;
}

constexpr bool AllListsWellFormed() {
    for (const FunctionEntry& entry : kEntries) {
        if (!IsWellFormed(entry.arguments)) return false;
    }
    return true;
}
static_assert(AllListsWellFormed(), "malformed descriptor list");

// The argument that asks for a change is one of the function's integer inputs.
constexpr bool EffectsNameTheirArguments() {
    for (const FunctionEntry& entry : kEntries) {
        if (entry.effect.when_nonzero == nullptr) continue;
        bool found = false;
        for (const ArgumentDescriptor* d = entry.arguments; d->name != nullptr; ++d)
            found |= std::string_view(d->name) == entry.effect.when_nonzero && d->input &&
                     d->value_kind == ArgKind::Integer;
        if (!found) return false;
    }
    return true;
}
static_assert(EffectsNameTheirArguments(), "an effect names an argument its function does not take as an integer");

// Each service name is an entry of the interface record, at its place, and
// the list holds them all.
#define ORVIK_HOST_SERVICE(name)                                                        \
    static_assert(offsetof(Abi::ServiceInterface, name) ==                              \
                      16 + 8 * static_cast<std::size_t>(HostService::name),              \
                  "host service " #name " is out of the interface's order");
ORVIK_HOST_SERVICES(ORVIK_HOST_SERVICE)
#undef ORVIK_HOST_SERVICE
static_assert(sizeof(Abi::ServiceInterface) == 16 + 8 * kHostServiceCount, "a host service is missing from the list");

// A function that asks the host to act names the service it asks; every
// service is some function's, so a forgotten declaration shows as one unused.
constexpr bool ServicesDeclared() {
    std::uint64_t all = 0;
    for (const FunctionEntry& entry : kEntries) {
        if (entry.effect.kind == EffectKind::kHostActs && entry.host_services.Empty()) return false;
        all |= entry.host_services.bits;
    }
    return all == (std::uint64_t{1} << kHostServiceCount) - 1;
}
static_assert(ServicesDeclared(), "a function that has the host act declares no service, or a service is unused");

}  // namespace

const std::array<FunctionEntry, kFunctionCount> kFunctionCatalogue = kEntries;

}  // namespace ScanEngine
