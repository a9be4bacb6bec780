// The module's two exported entry points.
#include <cstdint>
#include <exception>
#include <memory>

#include "common/error.h"
#include "common/format_string.h"
#include "function_registry.h"
#include "host_abi.h"
#include "library_context.h"

using namespace ScanEngine;

namespace {

void LogStartupFailure(Abi::HostLogger* logger, const char* text) noexcept {
    if (logger != nullptr && logger->Log != nullptr) logger->Log(logger, 2, text);
}

std::int32_t Initialise(std::uint32_t api_version, Abi::HostLogger* logger, Abi::HostRegistrar* registrar,
                        void** context) {
    if (api_version != Abi::kApiVersion) {
        LogStartupFailure(logger,
                          Common::FormatString("scan-engine backend API version mismatch: expected %u but got %u",
                                               Abi::kApiVersion, api_version)
                              .c_str());
        return -1;
    }
    if (registrar == nullptr || context == nullptr) {
        LogStartupFailure(logger, "host registrar or context pointer missing");
        return -1;
    }
    std::unique_ptr<LibraryContext> library = CreateLibraryContext(registrar);
    if (registrar->RegisterFunction == nullptr) throw COMMON_ERROR("host registrar cannot register functions");
    for (const RegistryRow& row : FunctionRegistry())
        registrar->RegisterFunction(registrar, row.Name(), row.handler, library.get());
    *context = library.release();
    return 0;
}

}  // namespace

extern "C" std::int32_t ScanEngineExtensionInit(std::uint32_t api_version, Abi::HostLogger* logger,
                                                Abi::HostRegistrar* registrar, void** context) noexcept {
    try {
        try {
            return Initialise(api_version, logger, registrar, context);
        } catch (const Common::Error& error) {
            LogStartupFailure(logger, error.Text().c_str());
        } catch (const std::exception& error) {
            LogStartupFailure(logger, error.what());
        } catch (...) {
            LogStartupFailure(logger, "unexpected exception");
        }
    } catch (...) {
        // Formatting the failure failed; the result still says it.
    }
    return -1;
}

extern "C" void ScanEngineExtensionDeinit(void* context) noexcept {
    delete static_cast<LibraryContext*>(context);
}
