// Records exchanged with the host scan engine. These layouts are the binary
// contract between the host and this module: every offset below is fixed and
// checked at compile time. The module includes this header; so does the
// reference host, which stands in for the engine in tests and in the tool.
//
// Host records are plain tables of function pointers. Each starts with one
// pointer-sized word that the module never reads; operation k sits at byte
// offset 8 * k and takes the record itself as its first argument.
#pragma once

#include <cstddef>
#include <cstdint>

namespace ScanEngine::Abi {

inline constexpr std::uint32_t kApiVersion = 7;
inline constexpr std::uint64_t kServiceInterfaceVersion = 19;
inline constexpr const char* kServiceInterfaceName = "scan-engine/SI";
inline constexpr const char* kProcessInfoInterfaceName = "ProcessInfo";
inline constexpr const char* kSecurityTokenObjectName = "SecurityToken";

// ---------------------------------------------------------------------------
// Argument values and the call-site record (handed to every handler).

enum ValueKind : std::uint32_t { kValueUndefined = 0, kValueString = 1, kValueInteger = 2 };
enum StorageClass : std::uint32_t { kStorageNone = 0, kStorageInteger = 1, kStorageString = 2 };

struct ArgumentValue {
    std::uint64_t value;        // integer, string pointer, or variable reference (low 32 bits)
    std::uint32_t kind;         // ValueKind
    std::uint32_t storage;      // StorageClass, outputs only
    const char* name;
};
static_assert(sizeof(ArgumentValue) == 24);
static_assert(offsetof(ArgumentValue, kind) == 8);
static_assert(offsetof(ArgumentValue, storage) == 12);
static_assert(offsetof(ArgumentValue, name) == 16);

struct CallSite {
    std::uint8_t flags;         // bit 0: location known
    const char* first;
    const char* second;
    const char* third;
    std::uint32_t number;
};
static_assert(offsetof(CallSite, first) == 8);
static_assert(offsetof(CallSite, second) == 16);
static_assert(offsetof(CallSite, third) == 24);
static_assert(offsetof(CallSite, number) == 32);

// ---------------------------------------------------------------------------
// Host logger, registrar and call context.

struct CallContext;

// The fifth argument is the context pointer given to RegisterFunction.
using Handler = std::int64_t (*)(std::uint32_t argc, const ArgumentValue* argv, const CallSite* site,
                                 CallContext* call, void* library_context);

struct HostLogger {
    void* lead;
    void (*Log)(HostLogger* self, std::uint32_t level, const char* text);
};
static_assert(offsetof(HostLogger, Log) == 8);

struct HostRegistrar {
    void* lead;
    void (*QueryInterface)(HostRegistrar* self, const char* name, void** out);
    void (*RegisterFunction)(HostRegistrar* self, const char* name, Handler handler, void* context);
};
static_assert(offsetof(HostRegistrar, QueryInterface) == 8);
static_assert(offsetof(HostRegistrar, RegisterFunction) == 16);

struct CallContext {
    void* lead;
    const char* (*GetFunctionName)(CallContext* self);
    void (*QueryInterface)(CallContext* self, const char* name, void** out);
    bool (*GetProcessUid)(CallContext* self, std::uint64_t* uid);
    bool (*GetProcessId)(CallContext* self, std::uint64_t* pid);
    void (*LogMessage)(CallContext* self, std::uint32_t level, const char* text);
    std::int32_t (*ResolveProcessForSuppression)(CallContext* self, std::uint64_t uid, std::uint64_t* pid);
    std::int32_t (*AssignStringVariable)(CallContext* self, std::uint32_t ref, const void* bytes,
                                         std::uint64_t length);
    std::int32_t (*AssignIntegerVariable)(CallContext* self, std::uint32_t ref, std::uint64_t value);
    std::int32_t (*ResolveProcessId)(CallContext* self, std::uint64_t uid, std::uint64_t* pid);
    std::uint64_t (*GetStringLength)(CallContext* self, const char* value);
    void (*OnProcessWhitelisted)(CallContext* self, std::uint64_t uid);
    void (*ReportProcessThreat)(CallContext* self, std::uint64_t uid, const char* threat);
};
static_assert(offsetof(CallContext, GetFunctionName) == 8 + 8 * 0);
static_assert(offsetof(CallContext, QueryInterface) == 8 + 8 * 1);
static_assert(offsetof(CallContext, GetProcessUid) == 8 + 8 * 2);
static_assert(offsetof(CallContext, GetProcessId) == 8 + 8 * 3);
static_assert(offsetof(CallContext, LogMessage) == 8 + 8 * 4);
static_assert(offsetof(CallContext, ResolveProcessForSuppression) == 8 + 8 * 5);
static_assert(offsetof(CallContext, AssignStringVariable) == 8 + 8 * 6);
static_assert(offsetof(CallContext, AssignIntegerVariable) == 8 + 8 * 7);
static_assert(offsetof(CallContext, ResolveProcessId) == 8 + 8 * 8);
static_assert(offsetof(CallContext, GetStringLength) == 8 + 8 * 9);
static_assert(offsetof(CallContext, OnProcessWhitelisted) == 8 + 8 * 10);
static_assert(offsetof(CallContext, ReportProcessThreat) == 8 + 8 * 11);

// ---------------------------------------------------------------------------
// Host objects handed back through out pointers. Operation 2 always releases.

struct SizedBuffer {
    void* lead;
    void* op1;
    void (*Release)(SizedBuffer* self);
    const std::uint8_t* (*Data)(SizedBuffer* self);
    std::uint64_t (*Size)(SizedBuffer* self);
};
static_assert(offsetof(SizedBuffer, Release) == 16);
static_assert(offsetof(SizedBuffer, Size) == 32);

struct HostError {
    void* lead;
    void* op1;
    void (*Release)(HostError* self);
    void* op3;
    const char* (*Message)(HostError* self);
};
static_assert(offsetof(HostError, Message) == 32);

struct SecurityToken {
    void* lead;
    void* op1;
    void (*Release)(SecurityToken* self);
    void* op3;
    void* op4;
    void* op5;
    void* op6;
    void* (*TokenHandle)(SecurityToken* self);  // a Windows token handle owned by the token
};
static_assert(offsetof(SecurityToken, TokenHandle) == 56);

struct ProcessInfo {
    void* lead;
    void* op1;
    void (*Release)(ProcessInfo* self);
    void (*QueryObject)(ProcessInfo* self, const char* name, void** out);
};
static_assert(offsetof(ProcessInfo, QueryObject) == 24);

struct UnixAccountInfo {
    void* lead;
    void* op1;
    void (*Release)(UnixAccountInfo* self);
    const char* (*Sid)(UnixAccountInfo* self);
    const char* (*Name)(UnixAccountInfo* self);
    std::uint32_t (*Attributes)(UnixAccountInfo* self);
    void* op6;
    void* op7;
    void* op8;
    void* op9;
    bool (*Uuid)(UnixAccountInfo* self, std::uint8_t* out16);
};
static_assert(offsetof(UnixAccountInfo, Attributes) == 40);
static_assert(offsetof(UnixAccountInfo, Uuid) == 80);

// ---------------------------------------------------------------------------
// Fixed records passed to or filled by host services.

#pragma pack(push, 1)
struct VerdictRecord {
    std::uint32_t ttl;
    std::uint32_t id;
    std::int8_t value;
    std::uint8_t scan_depth;
    std::uint16_t reserved;
};
#pragma pack(pop)
static_assert(sizeof(VerdictRecord) == 12);
static_assert(offsetof(VerdictRecord, value) == 8);
static_assert(offsetof(VerdictRecord, scan_depth) == 9);

struct ScanStatisticsRecord {
    std::uint64_t last_scan_time;
    std::uint32_t scan_count;
    std::uint32_t unused;
};
static_assert(sizeof(ScanStatisticsRecord) == 16);

struct AlertRecord {
    const char* folder;
    const char* file_name;
    std::uint32_t rule_id;
    std::uint32_t pad0;
    const char* threat;
    const std::uint8_t* md5;
    const std::uint8_t* sha1;
    const std::uint8_t* sha256;
    std::uint32_t file_size;
    std::uint8_t can_quarantine;
    std::uint8_t upload_enabled;
    std::uint16_t pad1;
    std::uint32_t engine_id;
    std::uint32_t system_pid;
};
static_assert(sizeof(AlertRecord) == 72);
static_assert(offsetof(AlertRecord, rule_id) == 16);
static_assert(offsetof(AlertRecord, threat) == 24);
static_assert(offsetof(AlertRecord, file_size) == 56);
static_assert(offsetof(AlertRecord, can_quarantine) == 60);
static_assert(offsetof(AlertRecord, upload_enabled) == 61);
static_assert(offsetof(AlertRecord, engine_id) == 64);
static_assert(offsetof(AlertRecord, system_pid) == 68);

struct SignificantProcessRecord {
    const char* identity;
    std::uint64_t process_uid;
    std::uint32_t process_id;
    std::uint32_t zero;
};
static_assert(sizeof(SignificantProcessRecord) == 24);

struct SignatureInfo {
    void* lead0;
    void (*Release)(SignatureInfo* self);
    std::int32_t status;
    const char* thumbprint;
    const char* vendor;
};
static_assert(offsetof(SignatureInfo, Release) == 8);
static_assert(offsetof(SignatureInfo, status) == 16);
static_assert(offsetof(SignatureInfo, thumbprint) == 24);
static_assert(offsetof(SignatureInfo, vendor) == 32);

struct ExtendedSignatureInfo {
    void* lead0;
    void* lead1;
    void (*Release)(ExtendedSignatureInfo* self);
    std::uint32_t schema_version;
    std::uint32_t text_length;
    const char* text;
};
static_assert(offsetof(ExtendedSignatureInfo, Release) == 16);
static_assert(offsetof(ExtendedSignatureInfo, schema_version) == 24);
static_assert(offsetof(ExtendedSignatureInfo, text_length) == 28);
static_assert(offsetof(ExtendedSignatureInfo, text) == 32);

struct HashOptions {
    std::uint64_t first;
    std::uint32_t second;
};

// What the host sees of a caller tag: created by the module on request,
// reference-counted, handed back through Release.
struct CallerInfoView {
    const char* tag;
    const char* description;
    void* owner;
    void (*AddRef)(CallerInfoView* self);
    void (*Release)(CallerInfoView* self);
};
static_assert(sizeof(CallerInfoView) == 40);

struct CallerInfoProvider {
    void* accessor;
    CallerInfoView* (*Make)(CallerInfoProvider* self);
};

struct ProcessTreeAnswer {
    const char* text;
    std::uint32_t length;
};

using ChunkTrampoline = void (*)(const std::uint8_t* bytes, std::uint64_t count, void* context);

// ---------------------------------------------------------------------------
// The host service interface ("scan-engine/SI", version 19, 43 entries).

struct ServiceInterface;
using SI = ServiceInterface;

struct ServiceInterface {
    void* lead;
    std::uint64_t version;
    std::int32_t (*WhitelistProcess)(SI*, std::uint64_t uid, std::uint32_t pid);                     // 0
    std::int32_t (*TerminateProcessById)(SI*, std::uint32_t pid, HostError** error);                 // 1
    std::int32_t (*IsEngineEnabled)(SI*, std::uint32_t engine_id);                                   // 2
    std::int32_t (*IsInUserAllowlist)(SI*, const char* path, std::uint64_t uid, std::uint32_t pid);  // 3
    std::int32_t (*IsInUserBlocklist)(SI*, const char* path, std::uint64_t uid, std::uint32_t pid);  // 4
    std::int32_t (*IsInTrustedHashesList)(SI*, const char* hash);                                    // 5
    std::int32_t (*IsInBlockedHashesList)(SI*, const char* hash);                                    // 6
    std::int32_t (*IsInThumbprintBlocklist)(SI*, const char* thumbprint);                            // 7
    std::int32_t (*IsProcessTerminationEnabled)(SI*, std::uint32_t engine_id);                       // 8
    std::int32_t (*SendTelemetry)(SI*, const char* event_type, std::uint32_t one, const char* body,
                                  std::uint32_t length);                                             // 9
    std::int32_t (*EvalHashes)(SI*, SecurityToken* token, const char* path, const char* unique_id,
                               std::uint32_t mask, std::uint8_t* digests, std::uint32_t size,
                               HashOptions* options);                                                // 10
    std::int32_t (*RaiseAlert)(SI*, const AlertRecord* alert);                                       // 11
    std::int32_t (*QueryProcessCacheByUid)(SI*, CallerInfoProvider* caller, std::uint64_t uid,
                                           SizedBuffer** out);                                       // 12
    std::int32_t (*QueryProcessCacheByPid)(SI*, CallerInfoProvider* caller, std::uint32_t pid,
                                           SizedBuffer** out);                                       // 13
    std::int32_t (*IsExecutableSystemCritical)(SI*, const char* path, const char* unique_id,
                                               std::uint32_t* status);                               // 14
    std::int32_t (*ConvertNtPathToDosPath)(SI*, const wchar_t* nt_path, wchar_t* out,
                                           std::uint32_t* size);                                     // 15
    std::int64_t (*DeleteRegistryKey)(SI*, std::uint32_t hive, const wchar_t* key, HostError** error);  // 16
    std::int64_t (*DeleteRegistryValue)(SI*, std::uint32_t hive, const wchar_t* key, const wchar_t* value,
                                        HostError** error);                                          // 17
    std::int32_t (*MemoryScanItdt)(SI*, std::uint32_t unique_key, std::uint64_t uid, std::uint32_t pid,
                                   std::uint32_t scan_mode, const char* module_name,
                                   const char* section_name);                                        // 18
    std::int32_t (*OnSignificantProcessStarted)(SI*, const SignificantProcessRecord* record);        // 19
    std::int32_t (*OnSignificantProcessTerminated)(SI*, const SignificantProcessRecord* record);     // 20
    std::int32_t (*IsFileRestoredFromQuarantine)(SI*, const char* path, const char* md5, const char* sha1,
                                                 const char* sha256);                                // 21
    std::int32_t (*IsInExploitPreventionList)(SI*, const char* path);                                // 22
    std::int32_t (*IsExploitPreventionTechniqueEnabled)(SI*, const char* id);                        // 23
    std::int32_t (*GetVerdict)(SI*, SecurityToken* token, const char* path, const char* unique_id,
                               std::uint8_t id, std::uint8_t current_scan_depth, VerdictRecord* out);  // 24
    std::int32_t (*SetVerdict)(SI*, SecurityToken* token, const char* path, const char* unique_id,
                               const VerdictRecord* verdict);                                        // 25
    std::int32_t (*CheckFileReputation)(SI*, std::uint64_t uid, const char* md5, std::uint32_t ttl);  // 26
    std::int32_t (*CheckCorporateWhitelist)(SI*, std::uint64_t uid, const char* md5, const char* threat);  // 27
    std::int32_t (*SetProcessMonitoredStatus)(SI*, std::uint64_t uid, bool enabled);                 // 28
    std::int32_t (*GetScanStatistics)(SI*, SecurityToken* token, const char* path, const char* unique_id,
                                      std::uint8_t id, ScanStatisticsRecord* out);                   // 29
    std::int32_t (*ResetScanStatistics)(SI*, SecurityToken* token, const char* path, const char* unique_id,
                                        std::uint8_t id);                                            // 30
    std::int32_t (*CheckSignature)(SI*, SecurityToken* token, const char* path, const char* unique_id,
                                   SignatureInfo** out);                                             // 31
    std::int32_t (*CheckExtendedSignature)(SI*, SecurityToken* token, const char* path, const char* unique_id,
                                           ExtendedSignatureInfo** out, std::uint32_t mask,
                                           std::uint8_t deep_scan);                                  // 32
    std::int32_t (*ReadFileContent)(SI*, SecurityToken* token, const char* path, const char* unique_id,
                                    std::uint64_t max_size, ChunkTrampoline chunk, void* context);   // 33
    std::int32_t (*RemoveFile)(SI*, SecurityToken* token, const char* path, HostError** error);      // 34
    std::int32_t (*DisableExploitPreventionFile)(SI*, const char* file);                             // 35
    std::int32_t (*OnEdrEvent)(SI*, const void* data, std::uint32_t length);                         // 36
    std::int32_t (*GetCurrentActionOnDetection)(SI*, std::uint32_t engine_id);                       // 37
    std::int32_t (*GetProcessTreeJson)(SI*, std::uint32_t pid, std::uint64_t start_time,
                                       ProcessTreeAnswer** out);                                     // 38
    std::int32_t (*UploadSample)(SI*, const char* path, const char* threat);                         // 39
    std::int32_t (*GetUnixAccountInfo)(SI*, std::uint32_t id, std::uint8_t is_group,
                                       UnixAccountInfo** out);                                       // 40
    std::int32_t (*GetProcessCategories)(SI*, const char* file_name, SizedBuffer** out);             // 41
    std::int32_t (*IsProcessTerminable)(SI*, const char* file_name);                                 // 42
};
static_assert(offsetof(ServiceInterface, version) == 8);
// Every entry at its place: two swapped neighbours of one signature would
// otherwise call the wrong service.
static_assert(offsetof(ServiceInterface, WhitelistProcess) == 16 + 8 * 0);
static_assert(offsetof(ServiceInterface, TerminateProcessById) == 16 + 8 * 1);
static_assert(offsetof(ServiceInterface, IsEngineEnabled) == 16 + 8 * 2);
static_assert(offsetof(ServiceInterface, IsInUserAllowlist) == 16 + 8 * 3);
static_assert(offsetof(ServiceInterface, IsInUserBlocklist) == 16 + 8 * 4);
static_assert(offsetof(ServiceInterface, IsInTrustedHashesList) == 16 + 8 * 5);
static_assert(offsetof(ServiceInterface, IsInBlockedHashesList) == 16 + 8 * 6);
static_assert(offsetof(ServiceInterface, IsInThumbprintBlocklist) == 16 + 8 * 7);
static_assert(offsetof(ServiceInterface, IsProcessTerminationEnabled) == 16 + 8 * 8);
static_assert(offsetof(ServiceInterface, SendTelemetry) == 16 + 8 * 9);
static_assert(offsetof(ServiceInterface, EvalHashes) == 16 + 8 * 10);
static_assert(offsetof(ServiceInterface, RaiseAlert) == 16 + 8 * 11);
static_assert(offsetof(ServiceInterface, QueryProcessCacheByUid) == 16 + 8 * 12);
static_assert(offsetof(ServiceInterface, QueryProcessCacheByPid) == 16 + 8 * 13);
static_assert(offsetof(ServiceInterface, IsExecutableSystemCritical) == 16 + 8 * 14);
static_assert(offsetof(ServiceInterface, ConvertNtPathToDosPath) == 16 + 8 * 15);
static_assert(offsetof(ServiceInterface, DeleteRegistryKey) == 16 + 8 * 16);
static_assert(offsetof(ServiceInterface, DeleteRegistryValue) == 16 + 8 * 17);
static_assert(offsetof(ServiceInterface, MemoryScanItdt) == 16 + 8 * 18);
static_assert(offsetof(ServiceInterface, OnSignificantProcessStarted) == 16 + 8 * 19);
static_assert(offsetof(ServiceInterface, OnSignificantProcessTerminated) == 16 + 8 * 20);
static_assert(offsetof(ServiceInterface, IsFileRestoredFromQuarantine) == 16 + 8 * 21);
static_assert(offsetof(ServiceInterface, IsInExploitPreventionList) == 16 + 8 * 22);
static_assert(offsetof(ServiceInterface, IsExploitPreventionTechniqueEnabled) == 16 + 8 * 23);
static_assert(offsetof(ServiceInterface, GetVerdict) == 16 + 8 * 24);
static_assert(offsetof(ServiceInterface, SetVerdict) == 16 + 8 * 25);
static_assert(offsetof(ServiceInterface, CheckFileReputation) == 16 + 8 * 26);
static_assert(offsetof(ServiceInterface, CheckCorporateWhitelist) == 16 + 8 * 27);
static_assert(offsetof(ServiceInterface, SetProcessMonitoredStatus) == 16 + 8 * 28);
static_assert(offsetof(ServiceInterface, GetScanStatistics) == 16 + 8 * 29);
static_assert(offsetof(ServiceInterface, ResetScanStatistics) == 16 + 8 * 30);
static_assert(offsetof(ServiceInterface, CheckSignature) == 16 + 8 * 31);
static_assert(offsetof(ServiceInterface, CheckExtendedSignature) == 16 + 8 * 32);
static_assert(offsetof(ServiceInterface, ReadFileContent) == 16 + 8 * 33);
static_assert(offsetof(ServiceInterface, RemoveFile) == 16 + 8 * 34);
static_assert(offsetof(ServiceInterface, DisableExploitPreventionFile) == 16 + 8 * 35);
static_assert(offsetof(ServiceInterface, OnEdrEvent) == 16 + 8 * 36);
static_assert(offsetof(ServiceInterface, GetCurrentActionOnDetection) == 16 + 8 * 37);
static_assert(offsetof(ServiceInterface, GetProcessTreeJson) == 16 + 8 * 38);
static_assert(offsetof(ServiceInterface, UploadSample) == 16 + 8 * 39);
static_assert(offsetof(ServiceInterface, GetUnixAccountInfo) == 16 + 8 * 40);
static_assert(offsetof(ServiceInterface, GetProcessCategories) == 16 + 8 * 41);
static_assert(offsetof(ServiceInterface, IsProcessTerminable) == 16 + 8 * 42);
static_assert(sizeof(ServiceInterface) == 16 + 8 * 43);

}  // namespace ScanEngine::Abi
