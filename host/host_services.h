// What stands behind the host service interface in the reference host. Every
// entry is a virtual method with the interface's own arguments, so a test can
// override one entry and keep the rest. The default implementation keeps real
// in-memory state and writes every call into the journal.
#pragma once

#include <cstdint>
#include <mutex>
#include <random>
#include <string>

#include "call_journal.h"
#include "host_objects.h"
#include "host_state.h"
#include "process_record_writer.h"
#include "orvik/context/host_abi.h"

namespace RefHost {

// A hostile host for robustness runs: each entry call misbehaves with a
// chance of `percent` in 100, the misbehaviour drawn from `seed`. Off by default.
struct FaultPlan {
    std::uint64_t seed = 0;
    unsigned percent = 0;
};
// Fail: an error result; NullOut: success with the out-object left unset;
// Hostile: oversized, truncated, random or malformed answers, and chunked
// reads that deliver more than asked.
enum class Fault { None, Fail, NullOut, Hostile };

class HostServices {
public:
    HostServices();
    virtual ~HostServices() = default;

    CallJournal& Journal() { return journal_; }
    ObjectPool& Objects() { return objects_; }
    HostState& State() { return state_; }
    std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock(mutex_); }
    // Makes every later call of `operation` return `result` after recording it.
    void ForceResult(const std::string& operation, std::int64_t result);
    // Puts a process into the process cache, findable by uid and by pid.
    void AddProcess(const HostProcess& process);
    // When on, a pid or uid the cache does not hold is answered from the
    // running process of that pid (read anew each time, never stored).
    void SetLive(bool live);
    // Whether a file the state does not hold is deleted on the real file
    // system (the default) or refused; and how many real files were deleted.
    void AllowRealDeletion(bool allowed) {
        std::lock_guard lock(mutex_);
        real_deletion_allowed_ = allowed;
    }
    std::size_t RealDeletions() {
        std::lock_guard lock(mutex_);
        return real_deletions_;
    }
    void SetFaultPlan(const FaultPlan& plan);
    // Random bytes; a JSON text that is huge, deeply nested or invalid.
    std::string HostileBytes(std::size_t max_size);
    std::string HostileJson();

    virtual std::int32_t WhitelistProcess(std::uint64_t uid, std::uint32_t pid);
    virtual std::int32_t TerminateProcessById(std::uint32_t pid, Abi::HostError** error);
    virtual std::int32_t IsEngineEnabled(std::uint32_t engine_id);
    virtual std::int32_t IsInUserAllowlist(const char* path, std::uint64_t uid, std::uint32_t pid);
    virtual std::int32_t IsInUserBlocklist(const char* path, std::uint64_t uid, std::uint32_t pid);
    virtual std::int32_t IsInTrustedHashesList(const char* hash);
    virtual std::int32_t IsInBlockedHashesList(const char* hash);
    virtual std::int32_t IsInThumbprintBlocklist(const char* thumbprint);
    virtual std::int32_t IsProcessTerminationEnabled(std::uint32_t engine_id);
    virtual std::int32_t SendTelemetry(const char* event_type, std::uint32_t one, const char* body,
                                       std::uint32_t length);
    virtual std::int32_t EvalHashes(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                    std::uint32_t mask, std::uint8_t* digests, std::uint32_t size,
                                    Abi::HashOptions* options);
    virtual std::int32_t RaiseAlert(const Abi::AlertRecord* alert);
    virtual std::int32_t QueryProcessCacheByUid(Abi::CallerInfoProvider* caller, std::uint64_t uid,
                                                Abi::SizedBuffer** out);
    virtual std::int32_t QueryProcessCacheByPid(Abi::CallerInfoProvider* caller, std::uint32_t pid,
                                                Abi::SizedBuffer** out);
    virtual std::int32_t IsExecutableSystemCritical(const char* path, const char* unique_id, std::uint32_t* status);
    virtual std::int32_t ConvertNtPathToDosPath(const wchar_t* nt_path, wchar_t* out, std::uint32_t* size);
    virtual std::int64_t DeleteRegistryKey(std::uint32_t hive, const wchar_t* key, Abi::HostError** error);
    virtual std::int64_t DeleteRegistryValue(std::uint32_t hive, const wchar_t* key, const wchar_t* value,
                                             Abi::HostError** error);
    virtual std::int32_t MemoryScanItdt(std::uint32_t unique_key, std::uint64_t uid, std::uint32_t pid,
                                        std::uint32_t scan_mode, const char* module_name, const char* section_name);
    virtual std::int32_t OnSignificantProcessStarted(const Abi::SignificantProcessRecord* record);
    virtual std::int32_t OnSignificantProcessTerminated(const Abi::SignificantProcessRecord* record);
    virtual std::int32_t IsFileRestoredFromQuarantine(const char* path, const char* md5, const char* sha1,
                                                      const char* sha256);
    virtual std::int32_t IsInExploitPreventionList(const char* path);
    virtual std::int32_t IsExploitPreventionTechniqueEnabled(const char* id);
    virtual std::int32_t GetVerdict(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                    std::uint8_t id, std::uint8_t current_scan_depth, Abi::VerdictRecord* out);
    virtual std::int32_t SetVerdict(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                    const Abi::VerdictRecord* verdict);
    virtual std::int32_t CheckFileReputation(std::uint64_t uid, const char* md5, std::uint32_t ttl);
    virtual std::int32_t CheckCorporateWhitelist(std::uint64_t uid, const char* md5, const char* threat);
    virtual std::int32_t SetProcessMonitoredStatus(std::uint64_t uid, bool enabled);
    virtual std::int32_t GetScanStatistics(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                           std::uint8_t id, Abi::ScanStatisticsRecord* out);
    virtual std::int32_t ResetScanStatistics(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                             std::uint8_t id);
    virtual std::int32_t CheckSignature(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                        Abi::SignatureInfo** out);
    virtual std::int32_t CheckExtendedSignature(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                                Abi::ExtendedSignatureInfo** out, std::uint32_t mask,
                                                std::uint8_t deep_scan);
    virtual std::int32_t ReadFileContent(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                         std::uint64_t max_size, Abi::ChunkTrampoline chunk, void* context);
    virtual std::int32_t RemoveFile(Abi::SecurityToken* token, const char* path, Abi::HostError** error);
    virtual std::int32_t DisableExploitPreventionFile(const char* file);
    virtual std::int32_t OnEdrEvent(const void* data, std::uint32_t length);
    virtual std::int32_t GetCurrentActionOnDetection(std::uint32_t engine_id);
    virtual std::int32_t GetProcessTreeJson(std::uint32_t pid, std::uint64_t start_time,
                                            Abi::ProcessTreeAnswer** out);
    virtual std::int32_t UploadSample(const char* path, const char* threat);
    virtual std::int32_t GetUnixAccountInfo(std::uint32_t id, std::uint8_t is_group, Abi::UnixAccountInfo** out);
    virtual std::int32_t GetProcessCategories(const char* file_name, Abi::SizedBuffer** out);
    virtual std::int32_t IsProcessTerminable(const char* file_name);

protected:
    // Records the call and gives the forced result for it, if one was set.
    template <typename... Args>
    std::optional<std::int64_t> Enter(const char* operation, const Args&... args) {
        journal_.Record(operation, args...);
        std::lock_guard lock(mutex_);
        if (auto it = forced_.find(operation); it != forced_.end()) return it->second;
        return std::nullopt;
    }

    Fault DrawFault();

private:
    std::recursive_mutex mutex_;
    FaultPlan plan_;
    std::mt19937_64 fault_random_;
    CallJournal journal_;
    ObjectPool objects_;
    HostState state_;
    bool live_ = false;
    bool real_deletion_allowed_ = true;
    std::size_t real_deletions_ = 0;
    std::map<std::string, std::int64_t> forced_;
};

// Status codes of the reference host.
inline constexpr std::int32_t kHostNotFound = 2;
inline constexpr std::int32_t kHostAccessDenied = 5;
inline constexpr std::int32_t kHostInvalidArgument = 87;
inline constexpr std::int32_t kHostBufferTooSmall = 122;

}  // namespace RefHost
