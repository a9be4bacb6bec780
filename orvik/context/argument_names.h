// The argument name table: every (name, label) pair that an extension
// function's descriptor list or handler refers to, each pair defined once.
// A name that occurs with several labels gets one constant per label, the
// identifier carrying a suffix taken from the label.
#pragma once

#include <array>
#include <cstddef>

#include "argument_descriptor.h"

namespace ScanEngine {

// Each constant also carries a number of its own (its line here), so that
// the check that a handler reads only what its function declares compares
// numbers, not texts.
#define ORVIK_ARGUMENT(ident, name, label) inline constexpr ArgName ident { name, label, __LINE__ }

namespace arg {
ORVIK_ARGUMENT(path, "path", "PATH");
ORVIK_ARGUMENT(rule, "rule", "RULE_ID");
ORVIK_ARGUMENT(threat, "threat", "THREAT_NAME");
ORVIK_ARGUMENT(md5, "md5", "MD5");
ORVIK_ARGUMENT(sha1, "sha1", "SHA1");
ORVIK_ARGUMENT(sha256, "sha256", "SHA256");
ORVIK_ARGUMENT(file_size, "file_size", "FILE_SIZE");
ORVIK_ARGUMENT(can_quarantine, "can_quarantine", "CAN_QUARANTINE");
ORVIK_ARGUMENT(engine_id, "engine_id", "ENGINE_ID");
ORVIK_ARGUMENT(systempid, "systempid", "SYSTEM_PID");
ORVIK_ARGUMENT(enable_upload, "enable_upload", "ENABLE_UPLOAD");
ORVIK_ARGUMENT(unique_file_id, "unique_file_id", "UNIQUE_FILE_ID");
ORVIK_ARGUMENT(signature_mask, "signature_mask", "SIGNATURE_MASK");
ORVIK_ARGUMENT(is_deep_scan, "is_deep_scan", "IS_DEEP_SCAN");
ORVIK_ARGUMENT(signature_info_ext, "signature_info_ext", "SIGNATURE_INFO_EXT");
ORVIK_ARGUMENT(schema_version, "schema_version", "SCHEMA_VERSION");
ORVIK_ARGUMENT(ttl, "ttl", "TTL");
ORVIK_ARGUMENT(to_dos, "to_dos", "CONVERT_TO_DOS_PATH");
ORVIK_ARGUMENT(file, "file", "FILE");
ORVIK_ARGUMENT(text, "text", "TEXT");
ORVIK_ARGUMENT(length, "length", "LENGTH");
ORVIK_ARGUMENT(hash, "hash", "HASH");
ORVIK_ARGUMENT(file_attributes, "file_attributes", "FILE_ATTR");
ORVIK_ARGUMENT(id, "id", "ID");
ORVIK_ARGUMENT(scan_count, "scan_count", "SCAN_COUNT");
ORVIK_ARGUMENT(last_scan_time, "last_scan_time", "LAST_SCAN_TIME");
ORVIK_ARGUMENT(value_verdict, "value", "VERDICT_VALUE");
ORVIK_ARGUMENT(current_scan_depth, "current_scan_depth", "CURRENT_SCAN_DEPTH");
ORVIK_ARGUMENT(scan_depth, "scan_depth", "SCAN_DEPTH");
ORVIK_ARGUMENT(time_precision, "time_precision", "TIME_PRECISION");
ORVIK_ARGUMENT(file_create_time, "file_create_time", "FILE_CREATE_TIME");
ORVIK_ARGUMENT(file_modify_time, "file_modify_time", "FILE_MODIFY_TIME");
ORVIK_ARGUMENT(file_name, "file_name", "FILE_NAME");
ORVIK_ARGUMENT(process_categories, "process_categories", "JSON string, e.g. {\"categories\":[\"interpreters\",\"browsers\",\"significant\"]}");
ORVIK_ARGUMENT(query_pid, "query_pid", "QUERY_PID");
ORVIK_ARGUMENT(query_puid, "query_puid", "QUERY_UID");
ORVIK_ARGUMENT(process_pid, "process_pid", "PROCESS_PID");
ORVIK_ARGUMENT(process_uid, "process_uid", "PROCESS_UID");
ORVIK_ARGUMENT(parent_pid, "parent_pid", "PROCESS_PARENT_PID");
ORVIK_ARGUMENT(parent_process_uid, "parent_process_uid", "PROCESS_PARENT_UID");
ORVIK_ARGUMENT(image_filename_nt, "image_filename_nt", "PROCESS_IMAGE_NT");
ORVIK_ARGUMENT(image_filename, "image_filename", "PROCESS_IMAGE");
ORVIK_ARGUMENT(cmdline, "cmdline", "PROCESS_COMMAND_LINE");
ORVIK_ARGUMENT(noimage, "noimage", "PROCESS_FLAG_NOIMAGE");
ORVIK_ARGUMENT(terminated, "terminated", "PROCESS_FLAG_TERMINATED");
ORVIK_ARGUMENT(start_timestamp, "start_timestamp", "PROCESS_START_TIMESTAMP");
ORVIK_ARGUMENT(process_user_sid, "process_user_sid", "PROCESS_USER_SID");
ORVIK_ARGUMENT(is_admin, "is_admin", "PROCESS_USER_IS_ADMIN");
ORVIK_ARGUMENT(integrity_level, "integrity_level", "PROCESS_INTEGRITY_LEVEL");
ORVIK_ARGUMENT(exit_timestamp, "exit_timestamp", "PROCESS_EXIT_TIMESTAMP");
ORVIK_ARGUMENT(process_privileges, "process_privileges", "PROCESS_PRIVILEGES");
ORVIK_ARGUMENT(cwd, "cwd", "PROCESS_CWD");
ORVIK_ARGUMENT(pid, "pid", "PROCESS_ID");
ORVIK_ARGUMENT(start_time, "start_time", "START_TIME");
ORVIK_ARGUMENT(process_tree_json, "process_tree_json", "PROCESS_TREE_JSON");
ORVIK_ARGUMENT(uid, "uid", "UNIX_USERINFO_ID");
ORVIK_ARGUMENT(name_unix, "name", "UNIX_USERINFO_NAME");
ORVIK_ARGUMENT(sid, "sid", "UNIX_USERINFO_SID");
ORVIK_ARGUMENT(uuid, "uuid", "UNIX_USERINFO_UUID");
ORVIK_ARGUMENT(attributes, "attributes", "UNIX_USERINFO_ATTR");
ORVIK_ARGUMENT(status, "status", "STATUS");
ORVIK_ARGUMENT(thumbprint, "thumbprint", "THUMBPRINT");
ORVIK_ARGUMENT(puid, "puid", "PROCESS_UID");
ORVIK_ARGUMENT(binary, "binary", "BINARY");
ORVIK_ARGUMENT(identity, "identity", "IDENTITY");
ORVIK_ARGUMENT(cmdline_child, "cmdline", "CHILD_PROCESS_CMDLINE");
ORVIK_ARGUMENT(shell, "shell", "CHILD_PROCESS_USE_SHELL");
ORVIK_ARGUMENT(name_env, "name", "ENV_VAR_NAME");
ORVIK_ARGUMENT(value_env, "value", "ENV_VAR_VALUE");
ORVIK_ARGUMENT(range, "range", "PROB_RANGE");
ORVIK_ARGUMENT(hex_input, "hex_input", "HEX_DUMP");
ORVIK_ARGUMENT(value, "value", "VALUE");
ORVIK_ARGUMENT(feature_name, "feature_name", "FEATURE_NAME");
ORVIK_ARGUMENT(feature_value, "feature_value", "FEATURE_VALUE");
ORVIK_ARGUMENT(feature_version, "feature_version", "FEATURE_VERSION");
ORVIK_ARGUMENT(path_parent, "path_parent", "PARENT_PATH");
ORVIK_ARGUMENT(sha256_parent, "sha256_parent", "SHA256_PARENT");
ORVIK_ARGUMENT(event_type, "event_type", "EVENT_TYPE");
ORVIK_ARGUMENT(telemetry_json_body, "telemetry_json_body", "TELEMETRY_JSON_BODY");
ORVIK_ARGUMENT(silent, "silent", "IS_SLIENT");
ORVIK_ARGUMENT(md5_parent, "md5_parent", "MD5_PARENT");
ORVIK_ARGUMENT(sha1_parent, "sha1_parent", "SHA1_PARENT");
ORVIK_ARGUMENT(file_critical, "file_critical", "IS_FILE_CRITICAL");
ORVIK_ARGUMENT(enabled, "enabled", "ENABLED");
ORVIK_ARGUMENT(vendor, "vendor", "VENDOR");
ORVIK_ARGUMENT(hive, "hive", "HIVE");
ORVIK_ARGUMENT(kname, "kname", "KEY_NAME");
ORVIK_ARGUMENT(vname, "vname", "VALUE_NAME");
ORVIK_ARGUMENT(username, "username", "USERNAME");
ORVIK_ARGUMENT(domain, "domain", "DOMAIN");
ORVIK_ARGUMENT(sid_type, "sid_type", "SID_TYPE");
ORVIK_ARGUMENT(sid_bin, "sid_bin", "SID_BINARY");
ORVIK_ARGUMENT(sid_str, "sid_str", "SID_STR");
ORVIK_ARGUMENT(consumerType, "consumerType", "WMI_CONSUMER_TYPE");
ORVIK_ARGUMENT(name_wmi, "name", "WMI_CONSUMER_NAME");
ORVIK_ARGUMENT(file_wmi, "file", "WMI_CONSUMER_FILE");
ORVIK_ARGUMENT(script, "script", "WMI_CONSUMER_SCRIPT");
ORVIK_ARGUMENT(engine, "engine", "WMI_CONSUMER_ENGINE");
ORVIK_ARGUMENT(modules, "modules", "MODULES");
ORVIK_ARGUMENT(original_filename, "original_filename", "ORIGINAL_FILE_NAME");
ORVIK_ARGUMENT(integrity_lvl, "integrity_lvl", "INTEGRITY_LVL");
ORVIK_ARGUMENT(is_elevated, "is_elevated", "IS_ELEVATED");
ORVIK_ARGUMENT(is_in_admin_group, "is_in_admin_group", "IS_IN_ADMIN_GROUP");
ORVIK_ARGUMENT(proc_snapshot, "proc_snapshot", "PROCESSES_SNAPSHOT");
ORVIK_ARGUMENT(volumes_map, "volumes_map", "VOLUMES_MAP_LIST");
ORVIK_ARGUMENT(tid, "tid", "THREAD_ID");
ORVIK_ARGUMENT(terminate, "terminate", "TERMINATE");
ORVIK_ARGUMENT(unique_key, "unique_key", "UNIQUE_KEY");
ORVIK_ARGUMENT(scan_mode, "scan_mode", "SCAN_MODE");
ORVIK_ARGUMENT(module_name, "module_name", "MODULE_NAME");
ORVIK_ARGUMENT(section_name, "section_name", "SECTION_NAME");
ORVIK_ARGUMENT(statistic, "statistic", "STATISTIC");
ORVIK_ARGUMENT(flags, "flags", "FLAGS");

// In the table, but in no descriptor list.
ORVIK_ARGUMENT(authority1, "authority1", "AUTHORITY1");
ORVIK_ARGUMENT(authority2, "authority2", "AUTHORITY2");
ORVIK_ARGUMENT(authority3, "authority3", "AUTHORITY3");
ORVIK_ARGUMENT(pos, "pos", "POS");
ORVIK_ARGUMENT(substr, "substr", "SUBSTR");
ORVIK_ARGUMENT(teamid, "teamid", "TEAM_ID");
}  // namespace arg

#undef ORVIK_ARGUMENT

}  // namespace ScanEngine
