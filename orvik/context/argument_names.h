// The argument name table: every (name, label) pair that an extension
// function's descriptor list or handler refers to, each pair defined once.
// A name that occurs with several labels gets one constant per label, the
// identifier carrying a suffix taken from the label.
#pragma once

#include <array>
#include <cstddef>

#include "argument_descriptor.h"

namespace ScanEngine {

namespace arg {
inline constexpr ArgName path                {"path", "PATH"};
inline constexpr ArgName rule                {"rule", "RULE_ID"};
inline constexpr ArgName threat              {"threat", "THREAT_NAME"};
inline constexpr ArgName md5                 {"md5", "MD5"};
inline constexpr ArgName sha1                {"sha1", "SHA1"};
inline constexpr ArgName sha256              {"sha256", "SHA256"};
inline constexpr ArgName file_size           {"file_size", "FILE_SIZE"};
inline constexpr ArgName can_quarantine      {"can_quarantine", "CAN_QUARANTINE"};
inline constexpr ArgName engine_id           {"engine_id", "ENGINE_ID"};
inline constexpr ArgName systempid           {"systempid", "SYSTEM_PID"};
inline constexpr ArgName enable_upload       {"enable_upload", "ENABLE_UPLOAD"};
inline constexpr ArgName unique_file_id      {"unique_file_id", "UNIQUE_FILE_ID"};
inline constexpr ArgName signature_mask      {"signature_mask", "SIGNATURE_MASK"};
inline constexpr ArgName is_deep_scan        {"is_deep_scan", "IS_DEEP_SCAN"};
inline constexpr ArgName signature_info_ext  {"signature_info_ext", "SIGNATURE_INFO_EXT"};
inline constexpr ArgName schema_version      {"schema_version", "SCHEMA_VERSION"};
inline constexpr ArgName ttl                 {"ttl", "TTL"};
inline constexpr ArgName to_dos              {"to_dos", "CONVERT_TO_DOS_PATH"};
inline constexpr ArgName file                {"file", "FILE"};
inline constexpr ArgName text                {"text", "TEXT"};
inline constexpr ArgName length              {"length", "LENGTH"};
inline constexpr ArgName hash                {"hash", "HASH"};
inline constexpr ArgName file_attributes     {"file_attributes", "FILE_ATTR"};
inline constexpr ArgName id                  {"id", "ID"};
inline constexpr ArgName scan_count          {"scan_count", "SCAN_COUNT"};
inline constexpr ArgName last_scan_time      {"last_scan_time", "LAST_SCAN_TIME"};
inline constexpr ArgName value_verdict       {"value", "VERDICT_VALUE"};
inline constexpr ArgName current_scan_depth  {"current_scan_depth", "CURRENT_SCAN_DEPTH"};
inline constexpr ArgName scan_depth          {"scan_depth", "SCAN_DEPTH"};
inline constexpr ArgName time_precision      {"time_precision", "TIME_PRECISION"};
inline constexpr ArgName file_create_time    {"file_create_time", "FILE_CREATE_TIME"};
inline constexpr ArgName file_modify_time    {"file_modify_time", "FILE_MODIFY_TIME"};
inline constexpr ArgName file_name           {"file_name", "FILE_NAME"};
inline constexpr ArgName process_categories  {"process_categories", "JSON string, e.g. {\"categories\":[\"interpreters\",\"browsers\",\"significant\"]}"};
inline constexpr ArgName query_pid           {"query_pid", "QUERY_PID"};
inline constexpr ArgName query_puid          {"query_puid", "QUERY_UID"};
inline constexpr ArgName process_pid         {"process_pid", "PROCESS_PID"};
inline constexpr ArgName process_uid         {"process_uid", "PROCESS_UID"};
inline constexpr ArgName parent_pid          {"parent_pid", "PROCESS_PARENT_PID"};
inline constexpr ArgName parent_process_uid  {"parent_process_uid", "PROCESS_PARENT_UID"};
inline constexpr ArgName image_filename_nt   {"image_filename_nt", "PROCESS_IMAGE_NT"};
inline constexpr ArgName image_filename      {"image_filename", "PROCESS_IMAGE"};
inline constexpr ArgName cmdline             {"cmdline", "PROCESS_COMMAND_LINE"};
inline constexpr ArgName noimage             {"noimage", "PROCESS_FLAG_NOIMAGE"};
inline constexpr ArgName terminated          {"terminated", "PROCESS_FLAG_TERMINATED"};
inline constexpr ArgName start_timestamp     {"start_timestamp", "PROCESS_START_TIMESTAMP"};
inline constexpr ArgName process_user_sid    {"process_user_sid", "PROCESS_USER_SID"};
inline constexpr ArgName is_admin            {"is_admin", "PROCESS_USER_IS_ADMIN"};
inline constexpr ArgName integrity_level     {"integrity_level", "PROCESS_INTEGRITY_LEVEL"};
inline constexpr ArgName exit_timestamp      {"exit_timestamp", "PROCESS_EXIT_TIMESTAMP"};
inline constexpr ArgName process_privileges  {"process_privileges", "PROCESS_PRIVILEGES"};
inline constexpr ArgName cwd                 {"cwd", "PROCESS_CWD"};
inline constexpr ArgName pid                 {"pid", "PROCESS_ID"};
inline constexpr ArgName start_time          {"start_time", "START_TIME"};
inline constexpr ArgName process_tree_json   {"process_tree_json", "PROCESS_TREE_JSON"};
inline constexpr ArgName uid                 {"uid", "UNIX_USERINFO_ID"};
inline constexpr ArgName name_unix           {"name", "UNIX_USERINFO_NAME"};
inline constexpr ArgName sid                 {"sid", "UNIX_USERINFO_SID"};
inline constexpr ArgName uuid                {"uuid", "UNIX_USERINFO_UUID"};
inline constexpr ArgName attributes          {"attributes", "UNIX_USERINFO_ATTR"};
inline constexpr ArgName status              {"status", "STATUS"};
inline constexpr ArgName thumbprint          {"thumbprint", "THUMBPRINT"};
inline constexpr ArgName puid                {"puid", "PROCESS_UID"};
inline constexpr ArgName binary              {"binary", "BINARY"};
inline constexpr ArgName identity            {"identity", "IDENTITY"};
inline constexpr ArgName cmdline_child       {"cmdline", "CHILD_PROCESS_CMDLINE"};
inline constexpr ArgName shell               {"shell", "CHILD_PROCESS_USE_SHELL"};
inline constexpr ArgName name_env            {"name", "ENV_VAR_NAME"};
inline constexpr ArgName value_env           {"value", "ENV_VAR_VALUE"};
inline constexpr ArgName range               {"range", "PROB_RANGE"};
inline constexpr ArgName hex_input           {"hex_input", "HEX_DUMP"};
inline constexpr ArgName value               {"value", "VALUE"};
inline constexpr ArgName feature_name        {"feature_name", "FEATURE_NAME"};
inline constexpr ArgName feature_value       {"feature_value", "FEATURE_VALUE"};
inline constexpr ArgName feature_version     {"feature_version", "FEATURE_VERSION"};
inline constexpr ArgName path_parent         {"path_parent", "PARENT_PATH"};
inline constexpr ArgName sha256_parent       {"sha256_parent", "SHA256_PARENT"};
inline constexpr ArgName event_type          {"event_type", "EVENT_TYPE"};
inline constexpr ArgName telemetry_json_body {"telemetry_json_body", "TELEMETRY_JSON_BODY"};
inline constexpr ArgName silent              {"silent", "IS_SLIENT"};
inline constexpr ArgName md5_parent          {"md5_parent", "MD5_PARENT"};
inline constexpr ArgName sha1_parent         {"sha1_parent", "SHA1_PARENT"};
inline constexpr ArgName file_critical       {"file_critical", "IS_FILE_CRITICAL"};
inline constexpr ArgName enabled             {"enabled", "ENABLED"};
inline constexpr ArgName vendor              {"vendor", "VENDOR"};
inline constexpr ArgName hive                {"hive", "HIVE"};
inline constexpr ArgName kname               {"kname", "KEY_NAME"};
inline constexpr ArgName vname               {"vname", "VALUE_NAME"};
inline constexpr ArgName username            {"username", "USERNAME"};
inline constexpr ArgName domain              {"domain", "DOMAIN"};
inline constexpr ArgName sid_type            {"sid_type", "SID_TYPE"};
inline constexpr ArgName sid_bin             {"sid_bin", "SID_BINARY"};
inline constexpr ArgName sid_str             {"sid_str", "SID_STR"};
inline constexpr ArgName consumerType        {"consumerType", "WMI_CONSUMER_TYPE"};
inline constexpr ArgName name_wmi            {"name", "WMI_CONSUMER_NAME"};
inline constexpr ArgName file_wmi            {"file", "WMI_CONSUMER_FILE"};
inline constexpr ArgName script              {"script", "WMI_CONSUMER_SCRIPT"};
inline constexpr ArgName engine              {"engine", "WMI_CONSUMER_ENGINE"};
inline constexpr ArgName modules             {"modules", "MODULES"};
inline constexpr ArgName original_filename   {"original_filename", "ORIGINAL_FILE_NAME"};
inline constexpr ArgName integrity_lvl       {"integrity_lvl", "INTEGRITY_LVL"};
inline constexpr ArgName is_elevated         {"is_elevated", "IS_ELEVATED"};
inline constexpr ArgName is_in_admin_group   {"is_in_admin_group", "IS_IN_ADMIN_GROUP"};
inline constexpr ArgName proc_snapshot       {"proc_snapshot", "PROCESSES_SNAPSHOT"};
inline constexpr ArgName volumes_map         {"volumes_map", "VOLUMES_MAP_LIST"};
inline constexpr ArgName tid                 {"tid", "THREAD_ID"};
inline constexpr ArgName terminate           {"terminate", "TERMINATE"};
inline constexpr ArgName unique_key          {"unique_key", "UNIQUE_KEY"};
inline constexpr ArgName scan_mode           {"scan_mode", "SCAN_MODE"};
inline constexpr ArgName module_name         {"module_name", "MODULE_NAME"};
inline constexpr ArgName section_name        {"section_name", "SECTION_NAME"};
inline constexpr ArgName statistic           {"statistic", "STATISTIC"};
inline constexpr ArgName flags               {"flags", "FLAGS"};

// In the table, but in no descriptor list.
inline constexpr ArgName authority1          {"authority1", "AUTHORITY1"};
inline constexpr ArgName authority2          {"authority2", "AUTHORITY2"};
inline constexpr ArgName authority3          {"authority3", "AUTHORITY3"};
inline constexpr ArgName pos                 {"pos", "POS"};
inline constexpr ArgName substr              {"substr", "SUBSTR"};
inline constexpr ArgName teamid              {"teamid", "TEAM_ID"};
}  // namespace arg

}  // namespace ScanEngine
