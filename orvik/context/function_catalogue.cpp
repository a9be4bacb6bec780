#include "function_catalogue.h"

#include <cstddef>
#include <iterator>
#include <string_view>

#include "argument_names.h"

namespace ScanEngine {

namespace {

// Descriptor lists, one per function in registry order. get_unix_group_info
// has none of its own: it shares the list of get_unix_user_info.

constexpr ArgumentDescriptor kArgs_alert[] = {
    InString(arg::path, kRequired),
    InInteger(arg::rule, kRequired),
    InString(arg::threat, kRequired),
    InString(arg::md5, kRequired),
    InString(arg::sha1, kRequired),
    InString(arg::sha256, kRequired),
    InInteger(arg::file_size, kOptional),
    InInteger(arg::can_quarantine, kOptional),
    InInteger(arg::engine_id, kOptional),
    InInteger(arg::systempid, kOptional),
    InInteger(arg::enable_upload, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_check_corporate_whitelist[] = {
    InString(arg::md5, kRequired),
    InString(arg::threat, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_check_extended_signature[] = {
    InString(arg::path, kRequired),
    InString(arg::unique_file_id, kOptional),
    InInteger(arg::signature_mask, kRequired),
    InInteger(arg::is_deep_scan, kRequired),
    OutString(arg::signature_info_ext, kOptional),
    OutInteger(arg::schema_version, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_check_file_reputation_service[] = {
    InString(arg::md5, kRequired),
    InInteger(arg::ttl, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_delete_file[] = {
    InString(arg::path, kRequired),
    InInteger(arg::to_dos, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_dir_exist[] = {
    InString(arg::path, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_disable_ep_file[] = {
    InString(arg::file, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_entropy[] = {
    InString(arg::text, kRequired),
    OutInteger(arg::length, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_eval_hashes[] = {
    InString(arg::path, kRequired),
    InString(arg::unique_file_id, kOptional),
    OutString(arg::md5, kOptional),
    OutString(arg::sha1, kOptional),
    OutString(arg::sha256, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_eval_tlsh_hash[] = {
    InString(arg::path, kRequired),
    InString(arg::unique_file_id, kOptional),
    OutString(arg::hash, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_file_exist[] = {
    InString(arg::path, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_file_attributes[] = {
    InString(arg::path, kRequired),
    OutInteger(arg::file_attributes, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_avc_scan_statistics[] = {
    InString(arg::path, kRequired),
    InString(arg::unique_file_id, kOptional),
    InInteger(arg::id, kRequired),
    OutInteger(arg::scan_count, kRequired),
    OutInteger(arg::last_scan_time, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_avc_verdict[] = {
    InString(arg::path, kRequired),
    InString(arg::unique_file_id, kOptional),
    InInteger(arg::id, kRequired),
    OutInteger(arg::value_verdict, kRequired),
    InInteger(arg::current_scan_depth, kRequired),
    OutInteger(arg::ttl, kOptional),
    OutInteger(arg::scan_depth, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_current_action_on_detection[] = {
    InInteger(arg::engine_id, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_file_creation_time[] = {
    InString(arg::path, kRequired),
    InInteger(arg::time_precision, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_file_modification_time[] = {
    InString(arg::path, kRequired),
    InInteger(arg::time_precision, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_file_size[] = {
    InString(arg::path, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_file_info[] = {
    InString(arg::path, kRequired),
    InInteger(arg::time_precision, kOptional),
    OutInteger(arg::file_size, kOptional),
    OutInteger(arg::file_create_time, kOptional),
    OutInteger(arg::file_modify_time, kOptional),
    OutInteger(arg::file_attributes, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_process_categories[] = {
    InString(arg::file_name, kRequired),
    OutString(arg::process_categories, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_process_info[] = {
    InInteger(arg::query_pid, kOptional),
    InInteger(arg::query_puid, kOptional),
    OutInteger(arg::process_pid, kOptional),
    OutInteger(arg::process_uid, kOptional),
    OutInteger(arg::parent_pid, kOptional),
    OutInteger(arg::parent_process_uid, kOptional),
    OutString(arg::image_filename_nt, kOptional),
    OutString(arg::image_filename, kOptional),
    OutString(arg::cmdline, kOptional),
    OutInteger(arg::noimage, kOptional),
    OutInteger(arg::terminated, kOptional),
    OutInteger(arg::start_timestamp, kOptional),
    OutString(arg::process_user_sid, kOptional),
    OutInteger(arg::is_admin, kOptional),
    OutInteger(arg::integrity_level, kOptional),
    OutInteger(arg::exit_timestamp, kOptional),
    OutString(arg::process_privileges, kOptional),
    OutString(arg::cwd, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_process_tree_json[] = {
    InInteger(arg::pid, kRequired),
    InInteger(arg::start_time, kRequired),
    OutString(arg::process_tree_json, kRequired),
    kEndOfArguments,
};

// get_unix_group_info: uses kArgs_get_unix_user_info.

constexpr ArgumentDescriptor kArgs_get_unix_user_info[] = {
    InInteger(arg::uid, kRequired),
    OutString(arg::name_unix, kOptional),
    OutString(arg::sid, kOptional),
    OutString(arg::uuid, kOptional),
    OutInteger(arg::attributes, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_is_engine_enabled[] = {
    InInteger(arg::engine_id, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_is_executable_system_critical[] = {
    InString(arg::path, kRequired),
    InString(arg::unique_file_id, kOptional),
    OutInteger(arg::status, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_is_exploit_prevention_technique_enabled[] = {
    InString(arg::id, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_is_file_restored_from_quarantine[] = {
    InString(arg::path, kRequired),
    InString(arg::md5, kOptional),
    InString(arg::sha1, kOptional),
    InString(arg::sha256, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_is_in_blocked_hashes_list[] = {
    InString(arg::hash, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_is_in_exploit_prevention_list[] = {
    InString(arg::path, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_is_in_thumbprint_blocklist[] = {
    InString(arg::thumbprint, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_is_in_trusted_hashes_list[] = {
    InString(arg::hash, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_is_in_user_allowlist[] = {
    InString(arg::path, kRequired),
    InInteger(arg::puid, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_is_in_user_blocklist[] = {
    InString(arg::path, kRequired),
    InInteger(arg::puid, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_is_process_terminable[] = {
    InString(arg::file_name, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_is_process_termination_enabled[] = {
    InInteger(arg::engine_id, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_on_edr_event[] = {
    InString(arg::binary, kRequired),
    InInteger(arg::length, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_on_significant_process_started[] = {
    InString(arg::identity, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_on_significant_process_terminated[] = {
    InString(arg::identity, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_os_execute[] = {
    InString(arg::cmdline_child, kRequired),
    InInteger(arg::shell, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_os_getenv[] = {
    InString(arg::name_env, kRequired),
    OutString(arg::value_env, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_probability_check[] = {
    InInteger(arg::range, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_read_text_file[] = {
    InString(arg::path, kRequired),
    OutString(arg::text, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_read_text_file_dm[] = {
    InString(arg::path, kRequired),
    InString(arg::unique_file_id, kOptional),
    OutString(arg::text, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_reg_parse_int[] = {
    InString(arg::hex_input, kRequired),
    OutInteger(arg::value, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_reg_parse_string[] = {
    InString(arg::hex_input, kRequired),
    OutString(arg::text, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_reset_avc_scan_statistics[] = {
    InString(arg::path, kRequired),
    InString(arg::unique_file_id, kOptional),
    InInteger(arg::id, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_send_features_telemetry[] = {
    InString(arg::feature_name, kRequired),
    InString(arg::feature_value, kRequired),
    InInteger(arg::feature_version, kRequired),
    InInteger(arg::file_size, kRequired),
    InString(arg::md5, kRequired),
    InString(arg::sha1, kRequired),
    InString(arg::sha256, kRequired),
    InString(arg::path, kRequired),
    InString(arg::path_parent, kOptional),
    InString(arg::sha256_parent, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_send_json_telemetry[] = {
    InString(arg::event_type, kRequired),
    InString(arg::telemetry_json_body, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_send_telemetry[] = {
    InString(arg::threat, kRequired),
    InInteger(arg::rule, kRequired),
    InInteger(arg::silent, kRequired),
    InString(arg::md5, kRequired),
    InString(arg::sha1, kRequired),
    InString(arg::sha256, kRequired),
    InString(arg::path, kRequired),
    InString(arg::cmdline, kRequired),
    InString(arg::path_parent, kOptional),
    InString(arg::md5_parent, kOptional),
    InString(arg::sha1_parent, kOptional),
    InString(arg::sha256_parent, kOptional),
    InInteger(arg::file_critical, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_set_avc_verdict[] = {
    InString(arg::path, kRequired),
    InString(arg::unique_file_id, kOptional),
    InInteger(arg::id, kRequired),
    InInteger(arg::value_verdict, kRequired),
    InInteger(arg::scan_depth, kRequired),
    InInteger(arg::ttl, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_set_process_monitored_status[] = {
    InInteger(arg::puid, kRequired),
    InInteger(arg::enabled, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_suppress_process[] = {
    InInteger(arg::puid, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_terminate_process[] = {
    InInteger(arg::pid, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_upload_sample[] = {
    InString(arg::path, kRequired),
    InString(arg::threat, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_whitelist_process[] = {
    InInteger(arg::puid, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_check_is_uwp[] = {
    InInteger(arg::pid, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_check_signature[] = {
    InString(arg::path, kRequired),
    InString(arg::unique_file_id, kOptional),
    OutInteger(arg::status, kOptional),
    OutString(arg::thumbprint, kOptional),
    OutString(arg::vendor, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_reg_delete_key[] = {
    InString(arg::hive, kRequired),
    InString(arg::kname, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_reg_delete_value[] = {
    InString(arg::hive, kRequired),
    InString(arg::kname, kRequired),
    InString(arg::vname, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_acc_attr_by_pid[] = {
    InInteger(arg::pid, kRequired),
    OutString(arg::username, kRequired),
    OutString(arg::domain, kRequired),
    OutString(arg::sid_type, kRequired),
    OutString(arg::sid_bin, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_acc_attr_by_sid[] = {
    InString(arg::sid_str, kRequired),
    OutString(arg::username, kRequired),
    OutString(arg::domain, kRequired),
    OutString(arg::sid_type, kRequired),
    OutString(arg::sid_bin, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_consumer_payload[] = {
    InInteger(arg::consumerType, kRequired),
    InString(arg::name_wmi, kRequired),
    OutString(arg::file_wmi, kRequired),
    OutString(arg::script, kRequired),
    OutString(arg::engine, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_loaded_modules[] = {
    InInteger(arg::pid, kRequired),
    OutString(arg::modules, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_original_filename[] = {
    InString(arg::path, kRequired),
    OutString(arg::original_filename, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_proc_priv_attr[] = {
    InInteger(arg::pid, kRequired),
    OutInteger(arg::integrity_lvl, kRequired),
    OutInteger(arg::is_elevated, kRequired),
    OutInteger(arg::is_in_admin_group, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_proc_snapshot[] = {
    OutString(arg::proc_snapshot, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_shell_link_target[] = {
    InString(arg::path, kRequired),
    OutString(arg::text, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_volume_serial[] = {
    InString(arg::path, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_volume_type[] = {
    InString(arg::path, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_get_volumes_map[] = {
    OutString(arg::volumes_map, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_have_window[] = {
    InInteger(arg::pid, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_hollow_detect_terminate[] = {
    InInteger(arg::tid, kRequired),
    InInteger(arg::pid, kRequired),
    InInteger(arg::terminate, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_inject_detect_terminate[] = {
    InInteger(arg::tid, kRequired),
    InInteger(arg::pid, kRequired),
    InInteger(arg::terminate, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_memory_scan_itdt[] = {
    InInteger(arg::unique_key, kRequired),
    InInteger(arg::scan_mode, kRequired),
    InString(arg::module_name, kOptional),
    InString(arg::section_name, kOptional),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_memory_scan_ml_get_statistic[] = {
    OutString(arg::statistic, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_reg_key_exists[] = {
    InString(arg::hive, kRequired),
    InString(arg::kname, kRequired),
    OutInteger(arg::status, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_reg_read_string[] = {
    InString(arg::hive, kRequired),
    InString(arg::kname, kRequired),
    InString(arg::vname, kRequired),
    OutString(arg::text, kRequired),
    kEndOfArguments,
};

constexpr ArgumentDescriptor kArgs_set_process_logging[] = {
    InInteger(arg::pid, kRequired),
    InInteger(arg::flags, kRequired),
    OutInteger(arg::enabled, kOptional),
    kEndOfArguments,
};

struct Row {
    FunctionId id;
    FunctionEntry entry;
};

constexpr Row kRows[] = {
    {FunctionId::alert,                                   {"alert",                                   kArgs_alert}},
    {FunctionId::check_corporate_whitelist,               {"check_corporate_whitelist",               kArgs_check_corporate_whitelist}},
    {FunctionId::check_extended_signature,                {"check_extended_signature",                kArgs_check_extended_signature}},
    {FunctionId::check_file_reputation_service,           {"check_file_reputation_service",           kArgs_check_file_reputation_service}},
    {FunctionId::delete_file,                             {"delete_file",                             kArgs_delete_file}},
    {FunctionId::dir_exist,                               {"dir_exist",                               kArgs_dir_exist}},
    {FunctionId::disable_ep_file,                         {"disable_ep_file",                         kArgs_disable_ep_file}},
    {FunctionId::entropy,                                 {"entropy",                                 kArgs_entropy}},
    {FunctionId::eval_hashes,                             {"eval_hashes",                             kArgs_eval_hashes}},
    {FunctionId::eval_tlsh_hash,                          {"eval_tlsh_hash",                          kArgs_eval_tlsh_hash}},
    {FunctionId::file_exist,                              {"file_exist",                              kArgs_file_exist}},
    {FunctionId::get_file_attributes,                     {"get_file_attributes",                     kArgs_get_file_attributes}},
    {FunctionId::get_avc_scan_statistics,                 {"get_avc_scan_statistics",                 kArgs_get_avc_scan_statistics}},
    {FunctionId::get_avc_verdict,                         {"get_avc_verdict",                         kArgs_get_avc_verdict}},
    {FunctionId::get_current_action_on_detection,         {"get_current_action_on_detection",         kArgs_get_current_action_on_detection}},
    {FunctionId::get_file_creation_time,                  {"get_file_creation_time",                  kArgs_get_file_creation_time}},
    {FunctionId::get_file_modification_time,              {"get_file_modification_time",              kArgs_get_file_modification_time}},
    {FunctionId::get_file_size,                           {"get_file_size",                           kArgs_get_file_size}},
    {FunctionId::get_file_info,                           {"get_file_info",                           kArgs_get_file_info}},
    {FunctionId::get_process_categories,                  {"get_process_categories",                  kArgs_get_process_categories}},
    {FunctionId::get_process_info,                        {"get_process_info",                        kArgs_get_process_info}},
    {FunctionId::get_process_tree_json,                   {"get_process_tree_json",                   kArgs_get_process_tree_json}},
    {FunctionId::get_unix_group_info,                     {"get_unix_group_info",                     kArgs_get_unix_user_info}},
    {FunctionId::get_unix_user_info,                      {"get_unix_user_info",                      kArgs_get_unix_user_info}},
    {FunctionId::is_engine_enabled,                       {"is_engine_enabled",                       kArgs_is_engine_enabled}},
    {FunctionId::is_executable_system_critical,           {"is_executable_system_critical",           kArgs_is_executable_system_critical}},
    {FunctionId::is_exploit_prevention_technique_enabled, {"is_exploit_prevention_technique_enabled", kArgs_is_exploit_prevention_technique_enabled}},
    {FunctionId::is_file_restored_from_quarantine,        {"is_file_restored_from_quarantine",        kArgs_is_file_restored_from_quarantine}},
    {FunctionId::is_in_blocked_hashes_list,               {"is_in_blocked_hashes_list",               kArgs_is_in_blocked_hashes_list}},
    {FunctionId::is_in_exploit_prevention_list,           {"is_in_exploit_prevention_list",           kArgs_is_in_exploit_prevention_list}},
    {FunctionId::is_in_thumbprint_blocklist,              {"is_in_thumbprint_blocklist",              kArgs_is_in_thumbprint_blocklist}},
    {FunctionId::is_in_trusted_hashes_list,               {"is_in_trusted_hashes_list",               kArgs_is_in_trusted_hashes_list}},
    {FunctionId::is_in_user_allowlist,                    {"is_in_user_allowlist",                    kArgs_is_in_user_allowlist}},
    {FunctionId::is_in_user_blocklist,                    {"is_in_user_blocklist",                    kArgs_is_in_user_blocklist}},
    {FunctionId::is_process_terminable,                   {"is_process_terminable",                   kArgs_is_process_terminable}},
    {FunctionId::is_process_termination_enabled,          {"is_process_termination_enabled",          kArgs_is_process_termination_enabled}},
    {FunctionId::on_edr_event,                            {"on_edr_event",                            kArgs_on_edr_event}},
    {FunctionId::on_significant_process_started,          {"on_significant_process_started",          kArgs_on_significant_process_started}},
    {FunctionId::on_significant_process_terminated,       {"on_significant_process_terminated",       kArgs_on_significant_process_terminated}},
    {FunctionId::os_execute,                              {"os_execute",                              kArgs_os_execute}},
    {FunctionId::os_getenv,                               {"os_getenv",                               kArgs_os_getenv}},
    {FunctionId::probability_check,                       {"probability_check",                       kArgs_probability_check}},
    {FunctionId::read_text_file,                          {"read_text_file",                          kArgs_read_text_file}},
    {FunctionId::read_text_file_dm,                       {"read_text_file_dm",                       kArgs_read_text_file_dm}},
    {FunctionId::reg_parse_int,                           {"reg_parse_int",                           kArgs_reg_parse_int}},
    {FunctionId::reg_parse_string,                        {"reg_parse_string",                        kArgs_reg_parse_string}},
    {FunctionId::reset_avc_scan_statistics,               {"reset_avc_scan_statistics",               kArgs_reset_avc_scan_statistics}},
    {FunctionId::send_features_telemetry,                 {"send_features_telemetry",                 kArgs_send_features_telemetry}},
    {FunctionId::send_json_telemetry,                     {"send_json_telemetry",                     kArgs_send_json_telemetry}},
    {FunctionId::send_telemetry,                          {"send_telemetry",                          kArgs_send_telemetry}},
    {FunctionId::set_avc_verdict,                         {"set_avc_verdict",                         kArgs_set_avc_verdict}},
    {FunctionId::set_process_monitored_status,            {"set_process_monitored_status",            kArgs_set_process_monitored_status}},
    {FunctionId::suppress_process,                        {"suppress_process",                        kArgs_suppress_process}},
    {FunctionId::terminate_process,                       {"terminate_process",                       kArgs_terminate_process}},
    {FunctionId::upload_sample,                           {"upload_sample",                           kArgs_upload_sample}},
    {FunctionId::whitelist_process,                       {"whitelist_process",                       kArgs_whitelist_process}},
    {FunctionId::check_is_uwp,                            {"check_is_uwp",                            kArgs_check_is_uwp}},
    {FunctionId::check_signature,                         {"check_signature",                         kArgs_check_signature}},
    {FunctionId::reg_delete_key,                          {"reg_delete_key",                          kArgs_reg_delete_key}},
    {FunctionId::reg_delete_value,                        {"reg_delete_value",                        kArgs_reg_delete_value}},
    {FunctionId::get_acc_attr_by_pid,                     {"get_acc_attr_by_pid",                     kArgs_get_acc_attr_by_pid}},
    {FunctionId::get_acc_attr_by_sid,                     {"get_acc_attr_by_sid",                     kArgs_get_acc_attr_by_sid}},
    {FunctionId::get_consumer_payload,                    {"get_consumer_payload",                    kArgs_get_consumer_payload}},
    {FunctionId::get_loaded_modules,                      {"get_loaded_modules",                      kArgs_get_loaded_modules}},
    {FunctionId::get_original_filename,                   {"get_original_filename",                   kArgs_get_original_filename}},
    {FunctionId::get_proc_priv_attr,                      {"get_proc_priv_attr",                      kArgs_get_proc_priv_attr}},
    {FunctionId::get_proc_snapshot,                       {"get_proc_snapshot",                       kArgs_get_proc_snapshot}},
    {FunctionId::get_shell_link_target,                   {"get_shell_link_target",                   kArgs_get_shell_link_target}},
    {FunctionId::get_volume_serial,                       {"get_volume_serial",                       kArgs_get_volume_serial}},
    {FunctionId::get_volume_type,                         {"get_volume_type",                         kArgs_get_volume_type}},
    {FunctionId::get_volumes_map,                         {"get_volumes_map",                         kArgs_get_volumes_map}},
    {FunctionId::have_window,                             {"have_window",                             kArgs_have_window}},
    {FunctionId::hollow_detect_terminate,                 {"hollow_detect_terminate",                 kArgs_hollow_detect_terminate}},
    {FunctionId::inject_detect_terminate,                 {"inject_detect_terminate",                 kArgs_inject_detect_terminate}},
    {FunctionId::memory_scan_itdt,                        {"memory_scan_itdt",                        kArgs_memory_scan_itdt}},
    {FunctionId::memory_scan_ml_get_statistic,            {"memory_scan_ml_get_statistic",            kArgs_memory_scan_ml_get_statistic}},
    {FunctionId::reg_key_exists,                          {"reg_key_exists",                          kArgs_reg_key_exists}},
    {FunctionId::reg_read_string,                         {"reg_read_string",                         kArgs_reg_read_string}},
    {FunctionId::set_process_logging,                     {"set_process_logging",                     kArgs_set_process_logging}},
};

static_assert(std::size(kRows) == kFunctionCount, "one row per function");

constexpr bool RowsInIdOrderWithDistinctNames() {
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        if (static_cast<std::size_t>(kRows[i].id) != i) return false;
        if (kRows[i].entry.name == nullptr || kRows[i].entry.arguments == nullptr) return false;
        for (std::size_t j = i + 1; j < std::size(kRows); ++j) {
            if (std::string_view(kRows[i].entry.name) == std::string_view(kRows[j].entry.name)) return false;
        }
    }
    return true;
}
static_assert(RowsInIdOrderWithDistinctNames(), "rows must follow FunctionId order");

// A well-formed list: the terminator comes after the last argument (a list
// without one fails to evaluate here), every name occurs once, the input flag
// matches the address kind and outputs are integer-valued (their value is
// the variable reference).
constexpr bool IsWellFormed(const ArgumentDescriptor* list) {
    std::size_t count = 0;
    for (; list[count].name != nullptr; ++count) {
        const ArgumentDescriptor& d = list[count];
        if (d.label == nullptr) return false;
        if (d.value_kind != ArgKind::String && d.value_kind != ArgKind::Integer) return false;
        if (d.input != (d.address_kind == AddressKind::Input)) return false;
        if (!d.input && d.value_kind != ArgKind::Integer) return false;
        for (std::size_t j = 0; j < count; ++j) {
            if (std::string_view(d.name) == std::string_view(list[j].name)) return false;
        }
    }
    const ArgumentDescriptor& end = list[count];
    return count <= kMaxArguments && end.label == nullptr && end.value_kind == ArgKind{} && end.address_kind == AddressKind::Input &&
           !end.required && !end.input;
}

constexpr bool AllListsWellFormed() {
    for (const Row& row : kRows) {
        if (!IsWellFormed(row.entry.arguments)) return false;
    }
    return true;
}
static_assert(AllListsWellFormed(), "malformed descriptor list");

constexpr std::array<FunctionEntry, kFunctionCount> BuildCatalogue() {
    std::array<FunctionEntry, kFunctionCount> entries{};
    for (std::size_t i = 0; i < kFunctionCount; ++i) entries[i] = kRows[i].entry;
    return entries;
}

}  // namespace

const std::array<FunctionEntry, kFunctionCount> kFunctionCatalogue = BuildCatalogue();

}  // namespace ScanEngine
