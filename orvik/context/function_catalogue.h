// The extension functions in registry order, each with its declared
// argument list and description, as the function table declares them; the
// registry binds handlers to these rows by id. Usable without the handlers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "argument_descriptor.h"

namespace ScanEngine {

enum class FunctionId : std::uint32_t {
#define ORVIK_FUNCTION(name, ...) name,
#include "function_table.inc"
#undef ORVIK_FUNCTION
};

struct FunctionEntry {
    const char* name;
    const ArgumentDescriptor* arguments;  // ends with kEndOfArguments
    const char* description;              // one line for rule writers
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
