// Everything the extension functions ask of the host goes through the
// library context: it turns the module's values (strings, shared tokens,
// callbacks) into the plain arguments of the host service interface, and
// turns token privilege sets into text with a cache of privilege names.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/non_copyable.h"
#include "host_abi.h"
#include "security_privileges.h"
#include "security_token.h"

namespace ScanEngine {

using ChunkCallback = std::function<void(const std::uint8_t* bytes, std::uint64_t count)>;

class LibraryContext : public Common::NonCopyable {
public:
    ~LibraryContext() override = default;

    virtual std::int32_t WhitelistProcess(std::uint64_t uid, std::uint32_t pid) = 0;
    virtual std::int32_t TerminateProcessById(std::uint32_t pid, Abi::HostError** error) = 0;
    virtual std::int32_t IsEngineEnabled(std::uint32_t engine_id) = 0;
    virtual std::int32_t IsInUserAllowlist(const std::string& path, std::uint64_t uid, std::uint32_t pid) = 0;
    virtual std::int32_t IsInUserBlocklist(const std::string& path, std::uint64_t uid, std::uint32_t pid) = 0;
    virtual std::int32_t IsInTrustedHashesList(const std::string& hash) = 0;
    virtual std::int32_t IsInBlockedHashesList(const std::string& hash) = 0;
    virtual std::int32_t IsInThumbprintBlocklist(const std::string& thumbprint) = 0;
    virtual std::int32_t IsProcessTerminationEnabled(std::uint32_t engine_id) = 0;
    virtual std::int32_t SendDetectionTelemetry(const std::string& json) = 0;
    virtual std::int32_t SendFeatureTelemetry(const std::string& json) = 0;
    virtual std::int32_t SendTelemetry(const std::string& event_type, const std::string& json) = 0;
    virtual std::int32_t RaiseAlert(const Abi::AlertRecord* alert) = 0;
    virtual std::int32_t EvalHashes(const SecurityToken& token, const std::string& path, const std::string& unique_id,
                                    std::uint32_t mask, std::uint8_t* digests, std::uint32_t size,
                                    Abi::HashOptions* options) = 0;
    virtual std::int32_t QueryProcessCacheByUid(Abi::CallerInfoProvider* caller, std::uint64_t uid,
                                                Abi::SizedBuffer** out) = 0;
    virtual std::int32_t QueryProcessCacheByPid(Abi::CallerInfoProvider* caller, std::uint32_t pid,
                                                Abi::SizedBuffer** out) = 0;
    virtual std::int32_t SetProcessMonitoredStatus(std::uint64_t uid, bool enabled) = 0;
    virtual std::int32_t GetScanStatistics(const SecurityToken& token, const std::string& path,
                                           const std::string& unique_id, std::uint8_t id,
                                           Abi::ScanStatisticsRecord* out) = 0;
    virtual std::int32_t ResetScanStatistics(const SecurityToken& token, const std::string& path,
                                             const std::string& unique_id, std::uint8_t id) = 0;
    virtual std::int32_t IsExecutableSystemCritical(const std::string& path, const std::string& unique_id,
                                                    std::uint32_t* status) = 0;
    virtual std::int32_t ConvertNtPathToDosPath(const wchar_t* nt_path, wchar_t* out, std::uint32_t* size) = 0;
    virtual std::int64_t DeleteRegistryKey(std::uint32_t hive, const wchar_t* key, Abi::HostError** error) = 0;
    virtual std::int64_t DeleteRegistryValue(std::uint32_t hive, const wchar_t* key, const wchar_t* value,
                                             Abi::HostError** error) = 0;
    virtual std::int32_t MemoryScanItdt(std::uint32_t unique_key, std::uint64_t uid, std::uint32_t pid,
                                        std::uint32_t scan_mode, const std::string& module_name,
                                        const std::string& section_name) = 0;
    virtual std::int32_t OnSignificantProcessStarted(const Abi::SignificantProcessRecord* record) = 0;
    virtual std::int32_t OnSignificantProcessTerminated(const Abi::SignificantProcessRecord* record) = 0;
    virtual std::int32_t IsFileRestoredFromQuarantine(const std::string& path, const std::string& md5,
                                                      const std::string& sha1, const std::string& sha256) = 0;
    virtual std::int32_t IsInExploitPreventionList(const std::string& path) = 0;
    virtual std::int32_t IsExploitPreventionTechniqueEnabled(const std::string& id) = 0;
    virtual std::int32_t GetVerdict(const SecurityToken& token, const std::string& path, const std::string& unique_id,
                                    std::uint8_t id, std::uint8_t current_scan_depth, Abi::VerdictRecord* out) = 0;
    virtual std::int32_t SetVerdict(const SecurityToken& token, const std::string& path, const std::string& unique_id,
                                    const Abi::VerdictRecord* verdict) = 0;
    virtual std::int32_t CheckFileReputation(std::uint64_t uid, const std::string& md5, std::uint32_t ttl) = 0;
    virtual std::int32_t CheckCorporateWhitelist(std::uint64_t uid, const std::string& md5,
                                                 const std::string& threat) = 0;
    virtual std::int32_t CheckSignature(const SecurityToken& token, const std::string& path,
                                        const std::string& unique_id, Abi::SignatureInfo** out) = 0;
    virtual std::int32_t CheckExtendedSignature(const SecurityToken& token, const std::string& path,
                                                const std::string& unique_id, Abi::ExtendedSignatureInfo** out,
                                                std::uint32_t mask, std::uint8_t deep_scan) = 0;
    virtual std::int32_t ReadFileContent(const SecurityToken& token, const std::string& path,
                                         const std::string& unique_id, std::uint64_t max_size,
                                         ChunkCallback chunk) = 0;
    virtual std::int32_t RemoveFile(const SecurityToken& token, const std::string& path, Abi::HostError** error) = 0;
    virtual std::int32_t DisableExploitPreventionFile(const std::string& file) = 0;
    virtual std::int32_t OnEdrEvent(const void* data, std::uint32_t length) = 0;
    virtual std::int32_t GetCurrentActionOnDetection(std::uint32_t engine_id) = 0;
    virtual std::string FormatPrivileges(const void* privileges, std::uint64_t size) = 0;
    virtual std::int32_t GetProcessTreeJson(std::uint32_t pid, std::uint64_t start_time,
                                            Abi::ProcessTreeAnswer** out) = 0;
    virtual std::int32_t UploadSample(const std::string& path, const std::string& threat) = 0;
    virtual std::int32_t GetUnixAccountInfo(std::uint32_t id, bool is_group, Abi::UnixAccountInfo** out) = 0;
    virtual std::int32_t GetProcessCategories(const std::string& file_name, Abi::SizedBuffer** out) = 0;
    virtual std::int32_t IsProcessTerminable(const std::string& file_name) = 0;
};

// Queries "scan-engine/SI" through the registrar and checks its version;
// raises Common::Error when the host has no such interface or another version.
std::unique_ptr<LibraryContext> CreateLibraryContext(Abi::HostRegistrar* registrar);

}  // namespace ScanEngine
