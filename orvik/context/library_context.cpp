#include "library_context.h"

#include <exception>

#include "common/error.h"
#include "common/format_string.h"
#include "common/utf.h"
#include "host_entry.h"

namespace ScanEngine {
namespace {

constexpr const char* kDetectionEventType = "be-detect";
constexpr const char* kFeatureEventType = "be-file-feature";

// Telemetry lengths cross the boundary as 32 bits.
std::uint32_t PayloadLength(const std::string& json) {
    if (json.size() > UINT32_MAX) throw COMMON_ERROR("telemetry payload exceeds 4 GiB");
    return static_cast<std::uint32_t>(json.size());
}

// Texts cross to the host NUL-terminated: a NUL inside would make the host
// answer for (or act on) the object its prefix names. Refused here, once for
// every service, as a malformed call.
const char* HostText(const std::string& text, const char* argument) {
    if (Common::HoldsNul(text))
        throw COMMON_ERROR(Common::FormatString("argument '%s' holds a NUL byte", argument));
    return text.c_str();
}

// What the host's chunk callback sees. An exception must not unwind through
// the host: the first one is kept, later chunks are dropped, and it is raised
// again once the host has returned.
struct ChunkSink {
    ChunkCallback callback;
    std::exception_ptr failure;
};

void ChunkTrampoline(const std::uint8_t* bytes, std::uint64_t count, void* context) noexcept {
    auto* sink = static_cast<ChunkSink*>(context);
    if (sink->failure) return;
    try {
        sink->callback(bytes, count);
    } catch (...) {
        sink->failure = std::current_exception();
    }
}

class LibraryContextImpl final : public LibraryContext {
public:
    explicit LibraryContextImpl(Abi::ServiceInterface* si) : si_(si) {}

    std::int32_t WhitelistProcess(std::uint64_t uid, std::uint32_t pid) override {
        return ORVIK_HOST_CALL(si_, WhitelistProcess, uid, pid);
    }
    std::int32_t TerminateProcessById(std::uint32_t pid, Abi::HostError** error) override {
        return ORVIK_HOST_CALL(si_, TerminateProcessById, pid, error);
    }
    std::int32_t IsEngineEnabled(std::uint32_t engine_id) override {
        return ORVIK_HOST_CALL(si_, IsEngineEnabled, engine_id);
    }
    std::int32_t IsInUserAllowlist(const std::string& path, std::uint64_t uid, std::uint32_t pid) override {
        return ORVIK_HOST_CALL(si_, IsInUserAllowlist, HostText(path, "path"), uid, pid);
    }
    std::int32_t IsInUserBlocklist(const std::string& path, std::uint64_t uid, std::uint32_t pid) override {
        return ORVIK_HOST_CALL(si_, IsInUserBlocklist, HostText(path, "path"), uid, pid);
    }
    std::int32_t IsInTrustedHashesList(const std::string& hash) override {
        return ORVIK_HOST_CALL(si_, IsInTrustedHashesList, HostText(hash, "hash"));
    }
    std::int32_t IsInBlockedHashesList(const std::string& hash) override {
        return ORVIK_HOST_CALL(si_, IsInBlockedHashesList, HostText(hash, "hash"));
    }
    std::int32_t IsInThumbprintBlocklist(const std::string& thumbprint) override {
        return ORVIK_HOST_CALL(si_, IsInThumbprintBlocklist, HostText(thumbprint, "thumbprint"));
    }
    std::int32_t IsProcessTerminationEnabled(std::uint32_t engine_id) override {
        return ORVIK_HOST_CALL(si_, IsProcessTerminationEnabled, engine_id);
    }
    std::int32_t SendDetectionTelemetry(const std::string& json) override {
        return SendTelemetry(kDetectionEventType, json);
    }
    std::int32_t SendFeatureTelemetry(const std::string& json) override {
        return SendTelemetry(kFeatureEventType, json);
    }
    std::int32_t SendTelemetry(const std::string& event_type, const std::string& json) override {
        return ORVIK_HOST_CALL(si_, SendTelemetry, HostText(event_type, "event_type"), 1u, json.c_str(),
                               PayloadLength(json));
    }
    std::int32_t RaiseAlert(const Abi::AlertRecord* alert) override { return ORVIK_HOST_CALL(si_, RaiseAlert, alert); }
    std::int32_t EvalHashes(const SecurityToken& token, const std::string& path, const std::string& unique_id,
                            std::uint32_t mask, std::uint8_t* digests, std::uint32_t size,
                            Abi::HashOptions* options) override {
        return ORVIK_HOST_CALL(si_, EvalHashes, token.get(), HostText(path, "path"),
                               HostText(unique_id, "unique_file_id"), mask, digests, size, options);
    }
    std::int32_t QueryProcessCacheByUid(Abi::CallerInfoProvider* caller, std::uint64_t uid,
                                        Abi::SizedBuffer** out) override {
        return ORVIK_HOST_CALL(si_, QueryProcessCacheByUid, caller, uid, out);
    }
    std::int32_t QueryProcessCacheByPid(Abi::CallerInfoProvider* caller, std::uint32_t pid,
                                        Abi::SizedBuffer** out) override {
        return ORVIK_HOST_CALL(si_, QueryProcessCacheByPid, caller, pid, out);
    }
    std::int32_t SetProcessMonitoredStatus(std::uint64_t uid, bool enabled) override {
        return ORVIK_HOST_CALL(si_, SetProcessMonitoredStatus, uid, enabled);
    }
    std::int32_t GetScanStatistics(const SecurityToken& token, const std::string& path, const std::string& unique_id,
                                   std::uint8_t id, Abi::ScanStatisticsRecord* out) override {
        return ORVIK_HOST_CALL(si_, GetScanStatistics, token.get(), HostText(path, "path"),
                               HostText(unique_id, "unique_file_id"), id, out);
    }
    std::int32_t ResetScanStatistics(const SecurityToken& token, const std::string& path,
                                     const std::string& unique_id, std::uint8_t id) override {
        return ORVIK_HOST_CALL(si_, ResetScanStatistics, token.get(), HostText(path, "path"),
                               HostText(unique_id, "unique_file_id"), id);
    }
    std::int32_t IsExecutableSystemCritical(const std::string& path, const std::string& unique_id,
                                            std::uint32_t* status) override {
        return ORVIK_HOST_CALL(si_, IsExecutableSystemCritical, HostText(path, "path"),
                               HostText(unique_id, "unique_file_id"), status);
    }
    std::int32_t ConvertNtPathToDosPath(const wchar_t* nt_path, wchar_t* out, std::uint32_t* size) override {
        return ORVIK_HOST_CALL(si_, ConvertNtPathToDosPath, nt_path, out, size);
    }
    std::int64_t DeleteRegistryKey(std::uint32_t hive, const wchar_t* key, Abi::HostError** error) override {
        return ORVIK_HOST_CALL(si_, DeleteRegistryKey, hive, key, error);
    }
    std::int64_t DeleteRegistryValue(std::uint32_t hive, const wchar_t* key, const wchar_t* value,
                                     Abi::HostError** error) override {
        return ORVIK_HOST_CALL(si_, DeleteRegistryValue, hive, key, value, error);
    }
    std::int32_t MemoryScanItdt(std::uint32_t unique_key, std::uint64_t uid, std::uint32_t pid, std::uint32_t scan_mode,
                                const std::string& module_name, const std::string& section_name) override {
        return ORVIK_HOST_CALL(si_, MemoryScanItdt, unique_key, uid, pid, scan_mode,
                               HostText(module_name, "module_name"), HostText(section_name, "section_name"));
    }
    std::int32_t OnSignificantProcessStarted(const Abi::SignificantProcessRecord* record) override {
        return ORVIK_HOST_CALL(si_, OnSignificantProcessStarted, record);
    }
    std::int32_t OnSignificantProcessTerminated(const Abi::SignificantProcessRecord* record) override {
        return ORVIK_HOST_CALL(si_, OnSignificantProcessTerminated, record);
    }
    std::int32_t IsFileRestoredFromQuarantine(const std::string& path, const std::string& md5, const std::string& sha1,
                                              const std::string& sha256) override {
        return ORVIK_HOST_CALL(si_, IsFileRestoredFromQuarantine, HostText(path, "path"), HostText(md5, "md5"),
                               HostText(sha1, "sha1"), HostText(sha256, "sha256"));
    }
    std::int32_t IsInExploitPreventionList(const std::string& path) override {
        return ORVIK_HOST_CALL(si_, IsInExploitPreventionList, HostText(path, "path"));
    }
    std::int32_t IsExploitPreventionTechniqueEnabled(const std::string& id) override {
        return ORVIK_HOST_CALL(si_, IsExploitPreventionTechniqueEnabled, HostText(id, "id"));
    }
    std::int32_t GetVerdict(const SecurityToken& token, const std::string& path, const std::string& unique_id,
                            std::uint8_t id, std::uint8_t current_scan_depth, Abi::VerdictRecord* out) override {
        return ORVIK_HOST_CALL(si_, GetVerdict, token.get(), HostText(path, "path"),
                               HostText(unique_id, "unique_file_id"), id, current_scan_depth, out);
    }
    std::int32_t SetVerdict(const SecurityToken& token, const std::string& path, const std::string& unique_id,
                            const Abi::VerdictRecord* verdict) override {
        return ORVIK_HOST_CALL(si_, SetVerdict, token.get(), HostText(path, "path"),
                               HostText(unique_id, "unique_file_id"), verdict);
    }
    std::int32_t CheckFileReputation(std::uint64_t uid, const std::string& md5, std::uint32_t ttl) override {
        return ORVIK_HOST_CALL(si_, CheckFileReputation, uid, HostText(md5, "md5"), ttl);
    }
    std::int32_t CheckCorporateWhitelist(std::uint64_t uid, const std::string& md5,
                                         const std::string& threat) override {
        // The host reads an absent threat name as null, not as "".
        return ORVIK_HOST_CALL(si_, CheckCorporateWhitelist, uid, HostText(md5, "md5"),
                               threat.empty() ? nullptr : HostText(threat, "threat"));
    }
    std::int32_t CheckSignature(const SecurityToken& token, const std::string& path, const std::string& unique_id,
                                Abi::SignatureInfo** out) override {
        return ORVIK_HOST_CALL(si_, CheckSignature, token.get(), HostText(path, "path"),
                               HostText(unique_id, "unique_file_id"), out);
    }
    std::int32_t CheckExtendedSignature(const SecurityToken& token, const std::string& path,
                                        const std::string& unique_id, Abi::ExtendedSignatureInfo** out,
                                        std::uint32_t mask, std::uint8_t deep_scan) override {
        return ORVIK_HOST_CALL(si_, CheckExtendedSignature, token.get(), HostText(path, "path"),
                               HostText(unique_id, "unique_file_id"), out, mask, deep_scan);
    }
    std::int32_t ReadFileContent(const SecurityToken& token, const std::string& path, const std::string& unique_id,
                                 std::uint64_t max_size, ChunkCallback chunk) override {
        ChunkSink sink{std::move(chunk), nullptr};
        const std::int32_t result = ORVIK_HOST_CALL(si_, ReadFileContent, token.get(), HostText(path, "path"),
                                                    HostText(unique_id, "unique_file_id"), max_size, &ChunkTrampoline,
                                                    &sink);
        if (sink.failure) std::rethrow_exception(sink.failure);
        return result;
    }
    std::int32_t RemoveFile(const SecurityToken& token, const std::string& path, Abi::HostError** error) override {
        return ORVIK_HOST_CALL(si_, RemoveFile, token.get(), HostText(path, "path"), error);
    }
    std::int32_t DisableExploitPreventionFile(const std::string& file) override {
        return ORVIK_HOST_CALL(si_, DisableExploitPreventionFile, HostText(file, "file"));
    }
    std::int32_t OnEdrEvent(const void* data, std::uint32_t length) override {
        return ORVIK_HOST_CALL(si_, OnEdrEvent, data, length);
    }
    std::int32_t GetCurrentActionOnDetection(std::uint32_t engine_id) override {
        return ORVIK_HOST_CALL(si_, GetCurrentActionOnDetection, engine_id);
    }
    std::string FormatPrivileges(const void* privileges, std::uint64_t size) override {
        return privileges_.Format(privileges, size);
    }
    std::int32_t GetProcessTreeJson(std::uint32_t pid, std::uint64_t start_time,
                                    Abi::ProcessTreeAnswer** out) override {
        return ORVIK_HOST_CALL(si_, GetProcessTreeJson, pid, start_time, out);
    }
    std::int32_t UploadSample(const std::string& path, const std::string& threat) override {
        return ORVIK_HOST_CALL(si_, UploadSample, HostText(path, "path"), HostText(threat, "threat"));
    }
    std::int32_t GetUnixAccountInfo(std::uint32_t id, bool is_group, Abi::UnixAccountInfo** out) override {
        return ORVIK_HOST_CALL(si_, GetUnixAccountInfo, id, static_cast<std::uint8_t>(is_group), out);
    }
    std::int32_t GetProcessCategories(const std::string& file_name, Abi::SizedBuffer** out) override {
        return ORVIK_HOST_CALL(si_, GetProcessCategories, HostText(file_name, "file_name"), out);
    }
    std::int32_t IsProcessTerminable(const std::string& file_name) override {
        return ORVIK_HOST_CALL(si_, IsProcessTerminable, HostText(file_name, "file_name"));
    }

private:
    Abi::ServiceInterface* si_;  // borrowed from the host for the module's lifetime
    SecurityPrivileges privileges_;
};

}  // namespace

std::unique_ptr<LibraryContext> CreateLibraryContext(Abi::HostRegistrar* registrar) {
    void* raw = nullptr;
    ORVIK_HOST_CALL(registrar, QueryInterface, Abi::kServiceInterfaceName, &raw);
    if (raw == nullptr)
        throw COMMON_ERROR(Common::FormatString("interface '%s' not found", Abi::kServiceInterfaceName));
    auto* si = static_cast<Abi::ServiceInterface*>(raw);
    if (si->version != Abi::kServiceInterfaceVersion)
        throw COMMON_ERROR(Common::FormatString("interface '%s' version mismatch: expected %u but got %zu",
                                                Abi::kServiceInterfaceName,
                                                static_cast<unsigned>(Abi::kServiceInterfaceVersion),
                                                static_cast<std::size_t>(si->version)));
    return std::make_unique<LibraryContextImpl>(si);
}

}  // namespace ScanEngine
