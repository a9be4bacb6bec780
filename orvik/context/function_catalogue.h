// The extension functions in registry order, each with its declared
// argument list, description, result and host services, as the function
// table declares them; the registry binds handlers to these rows by id.
// Usable without the handlers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "argument_descriptor.h"
#include "host_services_used.h"

namespace ScanEngine {

enum class FunctionId : std::uint32_t {
#define ORVIK_FUNCTION(name, ...) name,
#include "function_table.inc"
#undef ORVIK_FUNCTION
};

// What a call does beyond answering: it reads only; it asks the host to act
// or to change its state (a real engine may then change the machine; the
// reference host records the request); or it changes the live machine
// itself, always or when the named integer argument is non-zero.
enum class EffectKind : std::uint8_t { kReads, kHostActs, kChangesSystem };
struct Effect {
    EffectKind kind;
    const char* when_nonzero = nullptr;  // the argument that asks for the change; none: always
};
inline constexpr Effect kReads{EffectKind::kReads}, kHostActs{EffectKind::kHostActs},
    kChangesSystem{EffectKind::kChangesSystem};
constexpr Effect ChangesSystemIf(ArgName argument) { return {EffectKind::kChangesSystem, argument.name}; }

struct FunctionEntry {
    const char* name;
    const ArgumentDescriptor* arguments;  // ends with kEndOfArguments
    const char* description;              // one line for rule writers
    Effect effect;
    const char* result;                   // what the result means, one line for rule writers
    HostServiceSet host_services;         // the host services a call may use
};

inline constexpr std::size_t kFunctionCount = 0
#define ORVIK_FUNCTION(...) +1
#include "function_table.inc"
#undef ORVIK_FUNCTION
    ;

// Indexed by FunctionId.
extern const std::array<FunctionEntry, kFunctionCount> kFunctionCatalogue;

inline const FunctionEntry& CatalogueEntry(FunctionId id) {
    return kFunctionCatalogue[static_cast<std::size_t>(id)];
}

}  // namespace ScanEngine
