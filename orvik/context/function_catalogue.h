// The 79 extension functions in registry order, each with its declared
// argument list. The registry binds handlers to these rows by id.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "argument_descriptor.h"

namespace ScanEngine {

enum class FunctionId : std::uint32_t {
    alert = 0,
    check_corporate_whitelist,
    check_extended_signature,
    check_file_reputation_service,
    delete_file,
    dir_exist,
    disable_ep_file,
    entropy,
    eval_hashes,
    eval_tlsh_hash,
    file_exist,
    get_file_attributes,
    get_avc_scan_statistics,
    get_avc_verdict,
    get_current_action_on_detection,
    get_file_creation_time,
    get_file_modification_time,
    get_file_size,
    get_file_info,
    get_process_categories,
    get_process_info,
    get_process_tree_json,
    get_unix_group_info,
    get_unix_user_info,
    is_engine_enabled,
    is_executable_system_critical,
    is_exploit_prevention_technique_enabled,
    is_file_restored_from_quarantine,
    is_in_blocked_hashes_list,
    is_in_exploit_prevention_list,
    is_in_thumbprint_blocklist,
    is_in_trusted_hashes_list,
    is_in_user_allowlist,
    is_in_user_blocklist,
    is_process_terminable,
    is_process_termination_enabled,
    on_edr_event,
    on_significant_process_started,
    on_significant_process_terminated,
    os_execute,
    os_getenv,
    probability_check,
    read_text_file,
    read_text_file_dm,
    reg_parse_int,
    reg_parse_string,
    reset_avc_scan_statistics,
    send_features_telemetry,
    send_json_telemetry,
    send_telemetry,
    set_avc_verdict,
    set_process_monitored_status,
    suppress_process,
    terminate_process,
    upload_sample,
    whitelist_process,
    check_is_uwp,
    check_signature,
    reg_delete_key,
    reg_delete_value,
    get_acc_attr_by_pid,
    get_acc_attr_by_sid,
    get_consumer_payload,
    get_loaded_modules,
    get_original_filename,
    get_proc_priv_attr,
    get_proc_snapshot,
    get_shell_link_target,
    get_volume_serial,
    get_volume_type,
    get_volumes_map,
    have_window,
    hollow_detect_terminate,
    inject_detect_terminate,
    memory_scan_itdt,
    memory_scan_ml_get_statistic,
    reg_key_exists,
    reg_read_string,
    set_process_logging,
};

struct FunctionEntry {
    const char* name;
    const ArgumentDescriptor* arguments;  // ends with kEndOfArguments
};

inline constexpr std::size_t kFunctionCount = 79;
static_assert(static_cast<std::size_t>(FunctionId::set_process_logging) + 1 == kFunctionCount,
              "one FunctionId per registry row");

// Indexed by FunctionId.
extern const std::array<FunctionEntry, kFunctionCount> kFunctionCatalogue;

inline const FunctionEntry& CatalogueEntry(FunctionId id) {
    return kFunctionCatalogue[static_cast<std::size_t>(id)];
}

}  // namespace ScanEngine
