// The entries of the host service interface, by the names the interface
// record gives them (the reference host's call journal records the same
// names), so that each function can declare which of them it may call.
// Call-context operations (process identity, logging, variables) are not
// host services here. Pure.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>

namespace ScanEngine {

// In the interface record's order; the catalogue checks each name and its
// place against host_abi.h.
#define ORVIK_HOST_SERVICES(X)                                                                                      \
    X(WhitelistProcess) X(TerminateProcessById) X(IsEngineEnabled) X(IsInUserAllowlist) X(IsInUserBlocklist)         \
    X(IsInTrustedHashesList) X(IsInBlockedHashesList) X(IsInThumbprintBlocklist) X(IsProcessTerminationEnabled)      \
    X(SendTelemetry) X(EvalHashes) X(RaiseAlert) X(QueryProcessCacheByUid) X(QueryProcessCacheByPid)                 \
    X(IsExecutableSystemCritical) X(ConvertNtPathToDosPath) X(DeleteRegistryKey) X(DeleteRegistryValue)              \
    X(MemoryScanItdt) X(OnSignificantProcessStarted) X(OnSignificantProcessTerminated)                               \
    X(IsFileRestoredFromQuarantine) X(IsInExploitPreventionList) X(IsExploitPreventionTechniqueEnabled)             \
    X(GetVerdict) X(SetVerdict) X(CheckFileReputation) X(CheckCorporateWhitelist) X(SetProcessMonitoredStatus)       \
    X(GetScanStatistics) X(ResetScanStatistics) X(CheckSignature) X(CheckExtendedSignature) X(ReadFileContent)       \
    X(RemoveFile) X(DisableExploitPreventionFile) X(OnEdrEvent) X(GetCurrentActionOnDetection)                      \
    X(GetProcessTreeJson) X(UploadSample) X(GetUnixAccountInfo) X(GetProcessCategories) X(IsProcessTerminable)

enum class HostService : std::uint8_t {
#define ORVIK_HOST_SERVICE(name) name,
    ORVIK_HOST_SERVICES(ORVIK_HOST_SERVICE)
#undef ORVIK_HOST_SERVICE
};

// kHostGetVerdict and so on: a misspelt service in a declaration does not compile.
#define ORVIK_HOST_SERVICE(name) inline constexpr HostService kHost##name = HostService::name;
ORVIK_HOST_SERVICES(ORVIK_HOST_SERVICE)
#undef ORVIK_HOST_SERVICE

inline constexpr const char* kHostServiceNames[] = {
#define ORVIK_HOST_SERVICE(name) #name,
    ORVIK_HOST_SERVICES(ORVIK_HOST_SERVICE)
#undef ORVIK_HOST_SERVICE
};
inline constexpr std::size_t kHostServiceCount = std::size(kHostServiceNames);
static_assert(kHostServiceCount <= 64, "a service set is one 64-bit word");

constexpr const char* HostServiceName(HostService service) {
    return kHostServiceNames[static_cast<std::size_t>(service)];
}

// The host services a function may call.
struct HostServiceSet {
    std::uint64_t bits = 0;
    constexpr bool Contains(HostService service) const { return (bits >> static_cast<unsigned>(service)) & 1u; }
    constexpr bool Empty() const { return bits == 0; }
};
inline constexpr HostServiceSet kNoHostServices{};

// At least one service, each once: a repeated one does not compile.
consteval HostServiceSet Uses(HostService first, std::same_as<HostService> auto... rest) {
    HostServiceSet set;
    for (HostService service : {first, rest...}) {
        if (set.Contains(service)) throw "a host service is declared twice";
        set.bits |= std::uint64_t{1} << static_cast<unsigned>(service);
    }
    return set;
}

}  // namespace ScanEngine
