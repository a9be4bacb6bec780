// The functions this module implements, in registry order: each row binds a
// catalogue entry to the handler the host will call.
#pragma once

#include <span>

#include "function_catalogue.h"
#include "host_abi.h"

namespace ScanEngine {

struct RegistryRow {
    FunctionId id;
    Abi::Handler handler;

    const char* Name() const { return CatalogueEntry(id).name; }
    const ArgumentDescriptor* Arguments() const { return CatalogueEntry(id).arguments; }
};

std::span<const RegistryRow> FunctionRegistry();

}  // namespace ScanEngine
