#include "host_engine.h"

#include "abi_entry.h"

namespace RefHost {
namespace {

#define HOST_ENTRY(name) si.name = &AbiEntry<Abi::ServiceInterface, &HostServices::name>::Call

void FillServiceInterface(Abi::ServiceInterface& si) {
    HOST_ENTRY(WhitelistProcess);
    HOST_ENTRY(TerminateProcessById);
    HOST_ENTRY(IsEngineEnabled);
    HOST_ENTRY(IsInUserAllowlist);
    HOST_ENTRY(IsInUserBlocklist);
    HOST_ENTRY(IsInTrustedHashesList);
    HOST_ENTRY(IsInBlockedHashesList);
    HOST_ENTRY(IsInThumbprintBlocklist);
    HOST_ENTRY(IsProcessTerminationEnabled);
    HOST_ENTRY(SendTelemetry);
    HOST_ENTRY(EvalHashes);
    HOST_ENTRY(RaiseAlert);
    HOST_ENTRY(QueryProcessCacheByUid);
    HOST_ENTRY(QueryProcessCacheByPid);
    HOST_ENTRY(IsExecutableSystemCritical);
    HOST_ENTRY(ConvertNtPathToDosPath);
    HOST_ENTRY(DeleteRegistryKey);
    HOST_ENTRY(DeleteRegistryValue);
    HOST_ENTRY(MemoryScanItdt);
    HOST_ENTRY(OnSignificantProcessStarted);
    HOST_ENTRY(OnSignificantProcessTerminated);
    HOST_ENTRY(IsFileRestoredFromQuarantine);
    HOST_ENTRY(IsInExploitPreventionList);
    HOST_ENTRY(IsExploitPreventionTechniqueEnabled);
    HOST_ENTRY(GetVerdict);
    HOST_ENTRY(SetVerdict);
    HOST_ENTRY(CheckFileReputation);
    HOST_ENTRY(CheckCorporateWhitelist);
    HOST_ENTRY(SetProcessMonitoredStatus);
    HOST_ENTRY(GetScanStatistics);
    HOST_ENTRY(ResetScanStatistics);
    HOST_ENTRY(CheckSignature);
    HOST_ENTRY(CheckExtendedSignature);
    HOST_ENTRY(ReadFileContent);
    HOST_ENTRY(RemoveFile);
    HOST_ENTRY(DisableExploitPreventionFile);
    HOST_ENTRY(OnEdrEvent);
    HOST_ENTRY(GetCurrentActionOnDetection);
    HOST_ENTRY(GetProcessTreeJson);
    HOST_ENTRY(UploadSample);
    HOST_ENTRY(GetUnixAccountInfo);
    HOST_ENTRY(GetProcessCategories);
    HOST_ENTRY(IsProcessTerminable);
}

#undef HOST_ENTRY

}  // namespace

HostEngine::HostEngine(std::shared_ptr<HostServices> services) : services_(std::move(services)) {
    logger_.lead = this;
    logger_.Log = [](Abi::HostLogger* self, std::uint32_t level, const char* text) {
        auto* engine = static_cast<HostEngine*>(self->lead);
        std::lock_guard lock(engine->mutex_);
        engine->startup_log_.push_back({level, text ? text : "(null)"});
    };

    registrar_.lead = this;
    registrar_.QueryInterface = [](Abi::HostRegistrar* self, const char* name, void** out) {
        auto* engine = static_cast<HostEngine*>(self->lead);
        std::lock_guard lock(engine->mutex_);
        engine->queries_.push_back(name ? name : "(null)");
        if (out == nullptr) return;
        const InterfaceAnswer& answer = engine->answer_;
        if (answer.present && name != nullptr && answer.name == name) {
            engine->si_.version = answer.version;
            *out = &engine->si_;
        }
    };
    registrar_.RegisterFunction = [](Abi::HostRegistrar* self, const char* name, Abi::Handler handler,
                                         void* context) {
        auto* engine = static_cast<HostEngine*>(self->lead);
        std::lock_guard lock(engine->mutex_);
        engine->registrations_.push_back({name ? name : "(null)", handler, context});
    };

    si_.lead = services_.get();
    si_.version = answer_.version;
    FillServiceInterface(si_);
}

std::vector<LogLine> HostEngine::StartupLog() const {
    std::lock_guard lock(mutex_);
    return startup_log_;
}

}  // namespace RefHost
