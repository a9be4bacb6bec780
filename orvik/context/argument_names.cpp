#include "argument_names.h"

#include <cstddef>
#include <string_view>

namespace ScanEngine {

namespace {

constexpr std::array<ArgName, kArgumentNameCount> kTable = {{
    arg::path,
    arg::rule,
    arg::threat,
    arg::md5,
    arg::sha1,
    arg::sha256,
    arg::file_size,
    arg::can_quarantine,
    arg::engine_id,
    arg::systempid,
    arg::enable_upload,
    arg::unique_file_id,
    arg::signature_mask,
    arg::is_deep_scan,
    arg::signature_info_ext,
    arg::schema_version,
    arg::ttl,
    arg::to_dos,
    arg::file,
    arg::text,
    arg::length,
    arg::hash,
    arg::file_attributes,
    arg::id,
    arg::scan_count,
    arg::last_scan_time,
    arg::value_verdict,
    arg::current_scan_depth,
    arg::scan_depth,
    arg::time_precision,
    arg::file_create_time,
    arg::file_modify_time,
    arg::file_name,
    arg::process_categories,
    arg::query_pid,
    arg::query_puid,
    arg::process_pid,
    arg::process_uid,
    arg::parent_pid,
    arg::parent_process_uid,
    arg::image_filename_nt,
    arg::image_filename,
    arg::cmdline,
    arg::noimage,
    arg::terminated,
    arg::start_timestamp,
    arg::process_user_sid,
    arg::is_admin,
    arg::integrity_level,
    arg::exit_timestamp,
    arg::process_privileges,
    arg::cwd,
    arg::pid,
    arg::start_time,
    arg::process_tree_json,
    arg::uid,
    arg::name_unix,
    arg::sid,
    arg::uuid,
    arg::attributes,
    arg::status,
    arg::thumbprint,
    arg::puid,
    arg::binary,
    arg::identity,
    arg::cmdline_child,
    arg::shell,
    arg::name_env,
    arg::value_env,
    arg::range,
    arg::hex_input,
    arg::value,
    arg::feature_name,
    arg::feature_value,
    arg::feature_version,
    arg::path_parent,
    arg::sha256_parent,
    arg::event_type,
    arg::telemetry_json_body,
    arg::silent,
    arg::md5_parent,
    arg::sha1_parent,
    arg::file_critical,
    arg::enabled,
    arg::vendor,
    arg::hive,
    arg::kname,
    arg::vname,
    arg::username,
    arg::domain,
    arg::sid_type,
    arg::sid_bin,
    arg::sid_str,
    arg::consumerType,
    arg::name_wmi,
    arg::file_wmi,
    arg::script,
    arg::engine,
    arg::modules,
    arg::original_filename,
    arg::integrity_lvl,
    arg::is_elevated,
    arg::is_in_admin_group,
    arg::proc_snapshot,
    arg::volumes_map,
    arg::tid,
    arg::terminate,
    arg::unique_key,
    arg::scan_mode,
    arg::module_name,
    arg::section_name,
    arg::statistic,
    arg::flags,
    // Used by no descriptor list.
    arg::authority1,
    arg::authority2,
    arg::authority3,
    arg::pos,
    arg::substr,
    arg::teamid,
}};

constexpr bool IsComplete(const std::array<ArgName, kArgumentNameCount>& table) {
    for (const ArgName& a : table) {
        if (a.name == nullptr || a.label == nullptr || *a.name == '\0' || *a.label == '\0') return false;
    }
    return true;
}

constexpr bool AllPairsDistinct(const std::array<ArgName, kArgumentNameCount>& table) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        for (std::size_t j = i + 1; j < table.size(); ++j) {
            if (std::string_view(table[i].name) == std::string_view(table[j].name) &&
                std::string_view(table[i].label) == std::string_view(table[j].label)) {
                return false;
            }
        }
    }
    return true;
}

static_assert(IsComplete(kTable), "every pair has a non-empty name and label");
static_assert(AllPairsDistinct(kTable), "a (name, label) pair is listed twice");

}  // namespace

const std::array<ArgName, kArgumentNameCount> kArgumentNameTable = kTable;

}  // namespace ScanEngine
