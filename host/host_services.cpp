#include "host_services.h"

#include <algorithm>
#include <cstring>

#include "file_digests.h"
#include "live_process.h"
#include "real_files.h"

namespace RefHost {
namespace {

std::string Text(const char* text) { return text ? text : ""; }
std::wstring Text(const wchar_t* text) { return text ? text : L""; }

template <typename Map, typename Key>
std::int32_t LookupOr(const Map& map, const Key& key, std::int32_t fallback) {
    auto it = map.find(key);
    return it == map.end() ? fallback : it->second;
}

template <typename Set>
std::int32_t Member(const Set& set, const char* text) {
    return set.count(Text(text)) ? 1 : 0;
}

// A verdict lookup or store is a scan of the file: count it and stamp it.
void CountScan(HostState& s, const VerdictKey& key) {
    Abi::ScanStatisticsRecord& statistics = s.scan_statistics[key];
    statistics.last_scan_time = s.clock++;
    ++statistics.scan_count;
}

}  // namespace

// Records the call; a forced result ends it there. Then takes the state lock.
// A planned failure ends it too; `fault` tells the entry how else to misbehave.
#define HOST_ENTER(type, ...)                                              \
    if (auto forced = Enter(__func__, ##__VA_ARGS__)) return static_cast<type>(*forced); \
    [[maybe_unused]] const Fault fault = DrawFault();                      \
    if (fault == Fault::Fail) return static_cast<type>(kHostAccessDenied); \
    auto state_lock = Lock();                                              \
    [[maybe_unused]] auto& s = State();

HostServices::HostServices() {
    // A small account database, so the account queries answer out of the box.
    state_.unix_accounts[{0, false}] = {"root", "S-1-22-1-0", std::array<std::uint8_t, 16>{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}, 0};
    state_.unix_accounts[{1000, false}] = {"user", "S-1-22-1-1000", std::nullopt, 1};
    state_.unix_accounts[{0, true}] = {"root", "S-1-22-2-0", std::nullopt, 0};
    state_.unix_accounts[{100, true}] = {"users", "S-1-22-2-100", std::nullopt, 2};
}

void HostServices::ForceResult(const std::string& operation, std::int64_t result) {
    std::lock_guard lock(mutex_);
    forced_[operation] = result;
}

void HostServices::SetFaultPlan(const FaultPlan& plan) {
    std::lock_guard lock(mutex_);
    plan_ = plan;
    fault_random_.seed(plan.seed);
}

Fault HostServices::DrawFault() {
    std::lock_guard lock(mutex_);
    if (plan_.percent == 0 || fault_random_() % 100 >= plan_.percent) return Fault::None;
    return static_cast<Fault>(1 + fault_random_() % 3);
}

std::string HostServices::HostileBytes(std::size_t max_size) {
    std::lock_guard lock(mutex_);
    std::string bytes(fault_random_() % (max_size + 1), '\0');
    for (char& c : bytes) c = static_cast<char>(fault_random_());
    return bytes;
}

std::string HostServices::HostileJson() {
    std::uint64_t draw;
    {
        std::lock_guard lock(mutex_);
        draw = fault_random_();
    }
    switch (draw % 4) {
        case 0: return std::string(200000, '[') + std::string(200000, ']');  // deeply nested
        case 1: {  // huge: 1 MiB and more
            std::string json = "[";
            while (json.size() < (1u << 20)) json += "{\"name\":\"x\",\"pid\":1,\"children\":[]},";
            return json + "0]";
        }
        case 2: return "{\"name\":\"x\xff\xfe\",\"pid\":";  // cut short, invalid UTF-8
        default: return HostileBytes(4096);
    }
}

void HostServices::AddProcess(const HostProcess& process) {
    const std::string record = EncodeProcessRecord(process);
    std::lock_guard lock(mutex_);
    state_.process_records_by_uid[process.uid] = record;
    state_.process_records_by_pid[process.pid] = record;
}

void HostServices::SetLive(bool live) {
    std::lock_guard lock(mutex_);
    live_ = live;
}

std::int32_t HostServices::WhitelistProcess(std::uint64_t uid, std::uint32_t pid) {
    HOST_ENTER(std::int32_t, uid, pid);
    s.whitelisted[uid] = pid;
    return 0;
}

std::int32_t HostServices::TerminateProcessById(std::uint32_t pid, Abi::HostError** error) {
    HOST_ENTER(std::int32_t, pid, static_cast<const void*>(error));
    if (fault == Fault::NullOut) return kHostAccessDenied;
    if (pid == 0 || pid == 4) {
        if (error) *error = &Objects().Make<HostErrorObject>("process cannot be terminated")->abi;
        return kHostAccessDenied;
    }
    s.terminated.insert(pid);
    return 0;
}

std::int32_t HostServices::IsEngineEnabled(std::uint32_t engine_id) {
    HOST_ENTER(std::int32_t, engine_id);
    return LookupOr(s.engine_enabled, engine_id, 1);
}

std::int32_t HostServices::IsInUserAllowlist(const char* path, std::uint64_t uid, std::uint32_t pid) {
    HOST_ENTER(std::int32_t, path, uid, pid);
    return Member(s.user_allowlist, path);
}

std::int32_t HostServices::IsInUserBlocklist(const char* path, std::uint64_t uid, std::uint32_t pid) {
    HOST_ENTER(std::int32_t, path, uid, pid);
    return Member(s.user_blocklist, path);
}

std::int32_t HostServices::IsInTrustedHashesList(const char* hash) {
    HOST_ENTER(std::int32_t, hash);
    return Member(s.trusted_hashes, hash);
}

std::int32_t HostServices::IsInBlockedHashesList(const char* hash) {
    HOST_ENTER(std::int32_t, hash);
    return Member(s.blocked_hashes, hash);
}

std::int32_t HostServices::IsInThumbprintBlocklist(const char* thumbprint) {
    HOST_ENTER(std::int32_t, thumbprint);
    return Member(s.thumbprint_blocklist, thumbprint);
}

std::int32_t HostServices::IsProcessTerminationEnabled(std::uint32_t engine_id) {
    HOST_ENTER(std::int32_t, engine_id);
    return LookupOr(s.termination_enabled, engine_id, 1);
}

std::int32_t HostServices::SendTelemetry(const char* event_type, std::uint32_t one, const char* body,
                                         std::uint32_t length) {
    const std::string payload = body ? std::string(body, length) : std::string();
    HOST_ENTER(std::int32_t, event_type, one, payload.c_str(), length);
    s.telemetry_last[Text(event_type)] = payload;
    s.telemetry.push_back({Text(event_type), one, payload, length});
    return 0;
}

std::int32_t HostServices::EvalHashes(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                      std::uint32_t mask, std::uint8_t* digests, std::uint32_t size,
                                      Abi::HashOptions* options) {
    HOST_ENTER(std::int32_t, static_cast<const void*>(token), path, unique_id, mask, static_cast<const void*>(digests),
               size, static_cast<const void*>(options));
    // Preloaded digests win; then preloaded content stands for the file, as
    // for content requests; any other path is hashed on the real file system.
    if (fault == Fault::NullOut) return 0;
    FileDigests all{};
    if (auto known = s.file_digests.find(Text(path)); known != s.file_digests.end()) {
        all = known->second;
    } else if (auto content = s.files.find(Text(path)); content != s.files.end()) {
        if (const std::uint32_t status = DigestBytes(content->second, all)) return static_cast<std::int32_t>(status);
    } else {
        state_lock.unlock();  // a large file must not hold up other calls
        if (const std::uint32_t status = DigestRealFile(Text(path), all)) return static_cast<std::int32_t>(status);
    }
    // Requested digests are packed in the order MD5, SHA-1, SHA-256.
    static constexpr std::size_t kOffset[] = {0, 16, 36}, kLength[] = {16, 20, 32};
    std::size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        if (!(mask & (1u << i))) continue;
        if (digests == nullptr || at + kLength[i] > size) return kHostBufferTooSmall;
        std::memcpy(digests + at, all.data() + kOffset[i], kLength[i]);
        at += kLength[i];
    }
    return 0;
}

std::int32_t HostServices::RaiseAlert(const Abi::AlertRecord* alert) {
    HOST_ENTER(std::int32_t, alert);
    if (alert == nullptr) return kHostInvalidArgument;
    ReceivedAlert received;
    received.folder = Text(alert->folder);
    received.file_name = Text(alert->file_name);
    received.threat = Text(alert->threat);
    received.rule_id = alert->rule_id;
    // The record carries no digest lengths: the host reads each at its full size.
    const auto digest = [](const std::uint8_t* bytes, std::size_t size) {
        return bytes ? std::vector<std::uint8_t>(bytes, bytes + size) : std::vector<std::uint8_t>();
    };
    received.md5 = digest(alert->md5, 16);
    received.sha1 = digest(alert->sha1, 20);
    received.sha256 = digest(alert->sha256, 32);
    received.file_size = alert->file_size;
    received.can_quarantine = alert->can_quarantine;
    received.upload_enabled = alert->upload_enabled;
    received.engine_id = alert->engine_id;
    received.system_pid = alert->system_pid;
    std::memcpy(received.raw.data(), alert, sizeof(Abi::AlertRecord));
    s.alerts.push_back(std::move(received));
    return 0;
}

namespace {

std::int32_t AnswerProcessRecord(HostServices& host, Fault fault, Abi::CallerInfoProvider* caller,
                                 const std::string* record, Abi::SizedBuffer** out) {
    HostState& s = host.State();
    // Ask who is reading, as the real cache does, and hand the tag back.
    if (caller != nullptr && caller->Make != nullptr) {
        if (Abi::CallerInfoView* view = caller->Make(caller)) {
            s.caller_tags.emplace_back(Text(view->tag), Text(view->description));
            // A cache that keeps the tag takes its own reference before giving back the one it was handed.
            if (s.keep_caller_tags) {
                view->AddRef(view);
                s.kept_caller_tags.push_back(view);
            }
            view->Release(view);
        }
    }
    if (fault == Fault::NullOut) return 0;
    if (fault == Fault::Hostile) {
        // A truncated record, or random bytes up to an oversized 1 MiB.
        std::string bytes = host.HostileBytes(record ? record->size() : 1u << 20);
        if (record) bytes = record->substr(0, bytes.size());
        if (out) *out = &host.Objects().Make<SizedBufferObject>(bytes)->abi;
        return 0;
    }
    if (record == nullptr) return kHostNotFound;
    if (out) *out = &host.Objects().Make<SizedBufferObject>(*record)->abi;
    return 0;
}

// The record of a running process; empty when there is none to open (a
// record is never empty: it has a header).
std::string LiveRecord(std::uint32_t pid) {
    const auto process = LiveProcess(pid);
    return process ? EncodeProcessRecord(*process) : std::string();
}

}  // namespace

std::int32_t HostServices::QueryProcessCacheByUid(Abi::CallerInfoProvider* caller, std::uint64_t uid,
                                                  Abi::SizedBuffer** out) {
    HOST_ENTER(std::int32_t, static_cast<const void*>(caller), uid, static_cast<const void*>(out));
    auto it = s.process_records_by_uid.find(uid);
    if (it != s.process_records_by_uid.end()) return AnswerProcessRecord(*this, fault, caller, &it->second, out);
    const std::string live = live_ && uid <= 0xFFFFFFFFu ? LiveRecord(static_cast<std::uint32_t>(uid)) : "";
    return AnswerProcessRecord(*this, fault, caller, live.empty() ? nullptr : &live, out);
}

std::int32_t HostServices::QueryProcessCacheByPid(Abi::CallerInfoProvider* caller, std::uint32_t pid,
                                                  Abi::SizedBuffer** out) {
    HOST_ENTER(std::int32_t, static_cast<const void*>(caller), pid, static_cast<const void*>(out));
    auto it = s.process_records_by_pid.find(pid);
    if (it != s.process_records_by_pid.end()) return AnswerProcessRecord(*this, fault, caller, &it->second, out);
    const std::string live = live_ ? LiveRecord(pid) : "";
    return AnswerProcessRecord(*this, fault, caller, live.empty() ? nullptr : &live, out);
}

std::int32_t HostServices::IsExecutableSystemCritical(const char* path, const char* unique_id,
                                                      std::uint32_t* status) {
    HOST_ENTER(std::int32_t, path, unique_id, static_cast<const void*>(status));
    if (status) *status = Member(s.system_critical, path);
    return 0;
}

namespace {

// "\Device\HarddiskVolume1\x" -> "C:\x", from the system's own drive letter
// devices; nothing when no drive letter's device is a prefix of the path.
std::optional<std::wstring> DosPathFromVolumeDevices(const std::wstring& nt_path) {
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        const wchar_t drive[] = {letter, L':', L'\0'};
        wchar_t targets[1024] = {};
        if (QueryDosDeviceW(drive, targets, 1024) == 0) continue;
        // The first target is the one in effect.
        const std::wstring device = targets;
        if (device.empty() || nt_path.size() < device.size()) continue;
        if (CompareNames(std::wstring_view(nt_path).substr(0, device.size()), device) != 0) continue;
        if (nt_path.size() > device.size() && nt_path[device.size()] != L'\\') continue;
        return std::wstring(drive) + nt_path.substr(device.size());
    }
    return std::nullopt;
}

}  // namespace

std::int32_t HostServices::ConvertNtPathToDosPath(const wchar_t* nt_path, wchar_t* out, std::uint32_t* size) {
    HOST_ENTER(std::int32_t, nt_path, static_cast<const void*>(out), size ? *size : 0u);
    std::wstring dos;
    if (auto it = s.nt_to_dos.find(Text(nt_path)); it != s.nt_to_dos.end()) {
        dos = it->second;
    } else if (auto converted = DosPathFromVolumeDevices(Text(nt_path))) {
        dos = *converted;
    } else {
        return kHostNotFound;
    }
    if (fault == Fault::NullOut) return 0;
    if (fault == Fault::Hostile) {
        if (size) *size = 0xFFFFFFFFu;
        return kHostBufferTooSmall;
    }
    const auto needed = static_cast<std::uint32_t>(dos.size() + 1);
    if (out == nullptr || size == nullptr || *size < needed) {
        if (size) *size = needed;
        return kHostBufferTooSmall;
    }
    std::copy(dos.c_str(), dos.c_str() + needed, out);
    *size = needed;
    return 0;
}

std::int64_t HostServices::DeleteRegistryKey(std::uint32_t hive, const wchar_t* key, Abi::HostError** error) {
    HOST_ENTER(std::int64_t, hive, key, static_cast<const void*>(error));
    if (s.registry_keys.erase({hive, Text(key)}) == 0) {
        if (error) *error = &Objects().Make<HostErrorObject>("registry key not found")->abi;
        return kHostNotFound;
    }
    return 0;
}

std::int64_t HostServices::DeleteRegistryValue(std::uint32_t hive, const wchar_t* key, const wchar_t* value,
                                               Abi::HostError** error) {
    HOST_ENTER(std::int64_t, hive, key, value, static_cast<const void*>(error));
    if (s.registry_values.erase({hive, Text(key), Text(value)}) == 0) {
        if (error) *error = &Objects().Make<HostErrorObject>("registry value not found")->abi;
        return kHostNotFound;
    }
    return 0;
}

std::int32_t HostServices::MemoryScanItdt(std::uint32_t unique_key, std::uint64_t uid, std::uint32_t pid,
                                          std::uint32_t scan_mode, const char* module_name,
                                          const char* section_name) {
    HOST_ENTER(std::int32_t, unique_key, uid, pid, scan_mode, module_name, section_name);
    return 0;
}

std::int32_t HostServices::OnSignificantProcessStarted(const Abi::SignificantProcessRecord* record) {
    HOST_ENTER(std::int32_t, record);
    if (record == nullptr) return kHostInvalidArgument;
    s.significant_notices.push_back(
        {true, Text(record->identity), record->process_uid, record->process_id, record->zero});
    s.significant_processes.insert(Text(record->identity));
    return 0;
}

std::int32_t HostServices::OnSignificantProcessTerminated(const Abi::SignificantProcessRecord* record) {
    HOST_ENTER(std::int32_t, record);
    if (record == nullptr) return kHostInvalidArgument;
    s.significant_notices.push_back(
        {false, Text(record->identity), record->process_uid, record->process_id, record->zero});
    return s.significant_processes.erase(Text(record->identity)) ? 0 : kHostNotFound;
}

std::int32_t HostServices::IsFileRestoredFromQuarantine(const char* path, const char* md5, const char* sha1,
                                                        const char* sha256) {
    HOST_ENTER(std::int32_t, path, md5, sha1, sha256);
    return Member(s.quarantine_restored, path);
}

std::int32_t HostServices::IsInExploitPreventionList(const char* path) {
    HOST_ENTER(std::int32_t, path);
    return Member(s.exploit_prevention_list, path);
}

std::int32_t HostServices::IsExploitPreventionTechniqueEnabled(const char* id) {
    HOST_ENTER(std::int32_t, id);
    return Member(s.exploit_techniques_enabled, id);
}

std::int32_t HostServices::GetVerdict(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                      std::uint8_t id, std::uint8_t current_scan_depth, Abi::VerdictRecord* out) {
    HOST_ENTER(std::int32_t, static_cast<const void*>(token), path, unique_id, id, current_scan_depth,
               static_cast<const void*>(out));
    const VerdictKey key{Text(path), Text(unique_id), id};
    CountScan(s, key);
    auto it = s.verdicts.find(key);
    if (fault == Fault::NullOut) return 0;
    if (it == s.verdicts.end()) return kHostNotFound;
    if (out) *out = it->second;
    return 0;
}

std::int32_t HostServices::SetVerdict(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                      const Abi::VerdictRecord* verdict) {
    HOST_ENTER(std::int32_t, static_cast<const void*>(token), path, unique_id, verdict);
    if (verdict == nullptr) return kHostInvalidArgument;
    const VerdictKey key{Text(path), Text(unique_id), static_cast<std::uint8_t>(verdict->id)};
    CountScan(s, key);
    s.verdicts[key] = *verdict;
    return 0;
}

std::int32_t HostServices::CheckFileReputation(std::uint64_t uid, const char* md5, std::uint32_t ttl) {
    HOST_ENTER(std::int32_t, uid, md5, ttl);
    return Member(s.reputation_known, md5);
}

std::int32_t HostServices::CheckCorporateWhitelist(std::uint64_t uid, const char* md5, const char* threat) {
    HOST_ENTER(std::int32_t, uid, md5, threat);
    return Member(s.corporate_whitelist, md5);
}

std::int32_t HostServices::SetProcessMonitoredStatus(std::uint64_t uid, bool enabled) {
    HOST_ENTER(std::int32_t, uid, enabled);
    s.monitored[uid] = enabled;
    return 0;
}

std::int32_t HostServices::GetScanStatistics(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                             std::uint8_t id, Abi::ScanStatisticsRecord* out) {
    HOST_ENTER(std::int32_t, static_cast<const void*>(token), path, unique_id, id, static_cast<const void*>(out));
    auto it = s.scan_statistics.find({Text(path), Text(unique_id), id});
    if (fault == Fault::NullOut) return 0;
    if (it == s.scan_statistics.end()) return kHostNotFound;
    if (out) *out = it->second;
    return 0;
}

std::int32_t HostServices::ResetScanStatistics(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                               std::uint8_t id) {
    HOST_ENTER(std::int32_t, static_cast<const void*>(token), path, unique_id, id);
    s.scan_statistics.erase({Text(path), Text(unique_id), id});
    return 0;
}

std::int32_t HostServices::CheckSignature(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                          Abi::SignatureInfo** out) {
    HOST_ENTER(std::int32_t, static_cast<const void*>(token), path, unique_id, static_cast<const void*>(out));
    auto it = s.signatures.find(Text(path));
    if (fault == Fault::NullOut) return 0;
    if (it == s.signatures.end()) return kHostNotFound;
    if (out)
        *out = &Objects()
                    .Make<SignatureInfoObject>(it->second.first, it->second.second.first, it->second.second.second)
                    ->abi;
    return 0;
}

std::int32_t HostServices::CheckExtendedSignature(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                                  Abi::ExtendedSignatureInfo** out, std::uint32_t mask,
                                                  std::uint8_t deep_scan) {
    HOST_ENTER(std::int32_t, static_cast<const void*>(token), path, unique_id, static_cast<const void*>(out), mask,
               deep_scan);
    auto it = s.extended_signatures.find(Text(path));
    if (fault == Fault::NullOut) return 0;
    if (fault == Fault::Hostile) {
        if (out) *out = &Objects().Make<ExtendedSignatureInfoObject>(mask, HostileJson())->abi;
        return 0;
    }
    if (it == s.extended_signatures.end()) return kHostNotFound;
    if (out) *out = &Objects().Make<ExtendedSignatureInfoObject>(it->second.first, it->second.second)->abi;
    return 0;
}

std::int32_t HostServices::ReadFileContent(Abi::SecurityToken* token, const char* path, const char* unique_id,
                                           std::uint64_t max_size, Abi::ChunkTrampoline chunk, void* context) {
    HOST_ENTER(std::int32_t, static_cast<const void*>(token), path, unique_id, max_size);
    if (chunk == nullptr) return kHostInvalidArgument;
    const auto deliver = [&](const std::uint8_t* bytes, std::uint64_t count) { chunk(bytes, count, context); };
    if (fault == Fault::Hostile) {  // more than asked for, in one piece
        state_lock.unlock();
        const std::string bytes(std::min<std::uint64_t>(max_size, 1u << 20) + 4096, 'x');
        deliver(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        return 0;
    }
    auto it = s.files.find(Text(path));
    if (it == s.files.end()) {
        state_lock.unlock();  // the callback runs module code
        return static_cast<std::int32_t>(ReadRealFile(Text(path), max_size, deliver));
    }
    // Preloaded content, delivered in pieces as a real reader does, never
    // more than asked for.
    constexpr std::size_t kChunk = 64 * 1024;
    const std::size_t total = std::min<std::uint64_t>(it->second.size(), max_size);
    const std::string content = it->second;
    state_lock.unlock();
    for (std::size_t at = 0; at < total; at += kChunk)
        deliver(reinterpret_cast<const std::uint8_t*>(content.data()) + at, std::min(kChunk, total - at));
    return 0;
}

std::int32_t HostServices::RemoveFile(Abi::SecurityToken* token, const char* path, Abi::HostError** error) {
    HOST_ENTER(std::int32_t, static_cast<const void*>(token), path, static_cast<const void*>(error));
    if (s.files.erase(Text(path)) != 0) return 0;
    if (!real_deletion_allowed_) {
        static constexpr const char* kRefused = "real files are deleted only with leave to change this machine";
        if (error) *error = &Objects().Make<HostErrorObject>(kRefused)->abi;
        return kHostAccessDenied;
    }
    std::string message;
    const std::uint32_t code = DeleteRealFile(Text(path), message);
    if (code != 0 && error) *error = &Objects().Make<HostErrorObject>(message)->abi;
    real_deletions_ += code == 0;
    return static_cast<std::int32_t>(code);
}

std::int32_t HostServices::DisableExploitPreventionFile(const char* file) {
    HOST_ENTER(std::int32_t, file);
    s.exploit_prevention_list.erase(Text(file));
    return 0;
}

std::int32_t HostServices::OnEdrEvent(const void* data, std::uint32_t length) {
    const std::string blob = data ? std::string(static_cast<const char*>(data), length) : std::string();
    HOST_ENTER(std::int32_t, blob.c_str(), length);
    s.edr_events.push_back(blob);
    return 0;
}

std::int32_t HostServices::GetCurrentActionOnDetection(std::uint32_t engine_id) {
    HOST_ENTER(std::int32_t, engine_id);
    return LookupOr(s.action_on_detection, engine_id, 1);
}

std::int32_t HostServices::GetProcessTreeJson(std::uint32_t pid, std::uint64_t start_time,
                                              Abi::ProcessTreeAnswer** out) {
    HOST_ENTER(std::int32_t, pid, start_time, static_cast<const void*>(out));
    auto it = s.process_trees.find({pid, start_time});
    if (fault == Fault::NullOut) return 0;
    if (fault == Fault::Hostile) {
        if (out) *out = &Objects().Make<ProcessTreeObject>(HostileJson())->abi;
        return 0;
    }
    if (it == s.process_trees.end()) return kHostNotFound;
    if (out) *out = &Objects().Make<ProcessTreeObject>(it->second)->abi;
    return 0;
}

std::int32_t HostServices::UploadSample(const char* path, const char* threat) {
    HOST_ENTER(std::int32_t, path, threat);
    s.uploads.emplace_back(Text(path), Text(threat));
    return 0;
}

std::int32_t HostServices::GetUnixAccountInfo(std::uint32_t id, std::uint8_t is_group, Abi::UnixAccountInfo** out) {
    HOST_ENTER(std::int32_t, id, is_group, static_cast<const void*>(out));
    auto it = s.unix_accounts.find({id, is_group != 0});
    if (fault == Fault::NullOut) return 0;
    if (it == s.unix_accounts.end()) return kHostNotFound;
    if (out) *out = &Objects().Make<UnixAccountObject>(it->second)->abi;
    return 0;
}

std::int32_t HostServices::GetProcessCategories(const char* file_name, Abi::SizedBuffer** out) {
    HOST_ENTER(std::int32_t, file_name, static_cast<const void*>(out));
    auto it = s.process_categories.find(Text(file_name));
    if (fault == Fault::NullOut) return 0;
    if (fault == Fault::Hostile) {
        if (out) *out = &Objects().Make<SizedBufferObject>(HostileJson())->abi;
        return 0;
    }
    if (it == s.process_categories.end()) return kHostNotFound;
    if (out) *out = &Objects().Make<SizedBufferObject>(it->second)->abi;
    return 0;
}

std::int32_t HostServices::IsProcessTerminable(const char* file_name) {
    HOST_ENTER(std::int32_t, file_name);
    return Member(s.terminable_files, file_name);
}

}  // namespace RefHost
