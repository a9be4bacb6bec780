// The reference host's policy store and caches as plain data: no system
// objects, so the state file reader builds natively as well.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "orvik/context/host_abi.h"
#include "state_keys.h"

namespace RefHost {

namespace Abi = ScanEngine::Abi;

struct UnixAccount {
    std::string name;
    std::string sid;
    std::optional<std::array<std::uint8_t, 16>> uuid;
    std::uint32_t attributes = 0;
};

struct VerdictKey {
    std::string path;
    std::string unique_id;
    std::uint8_t id;
    // The path as the system compares paths, the rest exactly.
    bool operator<(const VerdictKey& other) const {
        const int path_order = CompareNames(path, other.path);
        return path_order != 0 ? path_order < 0 : std::tie(unique_id, id) < std::tie(other.unique_id, other.id);
    }
};

// An alert as the host received it: the texts and digests copied out (the
// digests at their full sizes, empty when the pointer was null), the integer
// fields, and the record's 72 bytes as they were.
struct ReceivedAlert {
    std::string folder, file_name, threat;
    std::uint32_t rule_id = 0;
    std::vector<std::uint8_t> md5, sha1, sha256;
    std::uint32_t file_size = 0;
    std::uint8_t can_quarantine = 0, upload_enabled = 0;
    std::uint32_t engine_id = 0, system_pid = 0;
    std::array<std::uint8_t, sizeof(Abi::AlertRecord)> raw{};
};

// One call of the telemetry entry, arguments as received.
struct ReceivedTelemetry {
    std::string event_type;
    std::uint32_t one = 0;
    std::string body;
    std::uint32_t length = 0;
};

// One significant-process notice, the record's fields as received.
struct ReceivedSignificantProcess {
    bool started = false;
    std::string identity;
    std::uint64_t process_uid = 0;
    std::uint32_t process_id = 0;
    std::uint32_t zero = 0;
};

// The host's policy store and caches. Guard with HostServices::Lock() when
// touching it while calls may run.
struct HostState {
    std::map<std::uint32_t, std::int32_t> engine_enabled;        // absent: enabled (1)
    std::map<std::uint32_t, std::int32_t> termination_enabled;   // absent: enabled (1)
    std::map<std::uint32_t, std::int32_t> action_on_detection;   // absent: 1
    std::map<std::uint64_t, std::uint32_t> whitelisted;          // uid -> pid
    std::map<std::uint64_t, bool> monitored;                     // uid -> enabled
    std::map<std::pair<std::uint32_t, bool>, UnixAccount> unix_accounts;  // (id, is group)
    std::set<std::uint32_t> terminated;
    NameSet user_allowlist, user_blocklist, exploit_prevention_list, quarantine_restored, system_critical,
        terminable_files;
    HexSet trusted_hashes, blocked_hashes, thumbprint_blocklist, corporate_whitelist, reputation_known;
    std::set<std::string> exploit_techniques_enabled;
    std::map<VerdictKey, Abi::VerdictRecord> verdicts;
    std::map<VerdictKey, Abi::ScanStatisticsRecord> scan_statistics;
    // The verdict cache's clock: each verdict lookup or store counts as a scan
    // of its key and is stamped with this value, which then advances by one.
    std::uint64_t clock = 1;
    // Preloaded content for content requests and removal, by path; any other
    // path is read or deleted on the real file system.
    NameMap<std::string> files;
    NameMap<std::array<std::uint8_t, 68>> file_digests;  // path -> MD5, SHA-1, SHA-256 bytes
    NameMap<std::pair<std::int32_t, std::pair<std::string, std::string>>> signatures;  // status, thumbprint, vendor
    NameMap<std::pair<std::uint32_t, std::string>> extended_signatures;  // schema, text
    std::map<std::uint64_t, std::string> process_records_by_uid;  // encoded process records
    std::map<std::uint32_t, std::string> process_records_by_pid;
    std::vector<std::pair<std::string, std::string>> caller_tags;  // (tag, description) seen by the cache
    // Process cache: with keep_caller_tags the cache holds a reference to each
    // caller tag past the query (in kept_caller_tags) until a test releases it.
    bool keep_caller_tags = false;
    std::vector<Abi::CallerInfoView*> kept_caller_tags;
    std::set<RegistryValue, RegistryLess> registry_values;
    std::vector<ReceivedAlert> alerts;     // every alert raised, as received
    std::vector<std::string> edr_events;   // raw event blobs
    std::vector<std::pair<std::string, std::string>> uploads;  // (path, threat)
    std::set<std::string> significant_processes;  // identities currently started
    std::vector<ReceivedSignificantProcess> significant_notices;  // every notice, started and terminated
    NameMap<std::string> process_categories;  // file name -> JSON
    std::map<std::wstring, std::wstring, NameLess> nt_to_dos;
    std::set<RegistryKey, RegistryLess> registry_keys;
    std::map<std::string, std::string> telemetry_last;             // event type -> body
    std::vector<ReceivedTelemetry> telemetry;                       // every telemetry call, in order
    std::map<std::pair<std::uint32_t, std::uint64_t>, std::string> process_trees;  // (pid, start time) -> JSON
};

}  // namespace RefHost
