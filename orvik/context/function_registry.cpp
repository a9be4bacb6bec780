#include "function_registry.h"

#include <array>

#include "handler_frame.h"
#include "orvik/functions/file/file_functions.h"
#include "orvik/functions/policy/policy_functions.h"
#include "orvik/functions/process/process_functions.h"
#include "orvik/functions/system/system_functions.h"

namespace ScanEngine {
namespace {

template <FunctionId Id, HandlerBody Body, std::int64_t FailureResult = -1, HandlerGate Gate = nullptr>
constexpr RegistryRow Row() {
    return {Id, &Handler<Id, Body, FailureResult, Gate>};
}

using F = FunctionId;

constexpr std::array kRegistry = {
    Row<F::alert, &Policy::Alert>(),
    Row<F::check_corporate_whitelist, &Policy::CheckCorporateWhitelist>(),
    Row<F::check_extended_signature, &File::CheckExtendedSignature, 18>(),
    Row<F::check_file_reputation_service, &Policy::CheckFileReputationService>(),
    Row<F::delete_file, &File::DeleteFileByHost>(),
    Row<F::dir_exist, &File::DirExist>(),
    Row<F::disable_ep_file, &Policy::DisableEpFile>(),
    Row<F::entropy, &File::Entropy>(),
    Row<F::eval_hashes, &File::EvalHashes>(),
    Row<F::eval_tlsh_hash, &File::EvalTlshHash>(),
    Row<F::file_exist, &File::FileExist>(),
    Row<F::get_file_attributes, &File::GetFileAttributeWord>(),
    Row<F::get_avc_scan_statistics, &Policy::GetAvcScanStatistics>(),
    Row<F::get_avc_verdict, &Policy::GetAvcVerdict>(),
    Row<F::get_current_action_on_detection, &Policy::GetCurrentActionOnDetection>(),
    Row<F::get_file_creation_time, &File::GetFileCreationTime>(),
    Row<F::get_file_modification_time, &File::GetFileModificationTime>(),
    Row<F::get_file_size, &File::GetFileSize>(),
    Row<F::get_file_info, &File::GetFileInfo>(),
    Row<F::get_process_categories, &Process::GetProcessCategories>(),
    Row<F::get_process_info, &Process::GetProcessInfo>(),
    Row<F::get_process_tree_json, &Process::GetProcessTreeJson>(),
    Row<F::get_unix_group_info, &Policy::GetUnixGroupInfo>(),
    Row<F::get_unix_user_info, &Policy::GetUnixUserInfo>(),
    Row<F::is_engine_enabled, &Policy::IsEngineEnabled>(),
    Row<F::is_executable_system_critical, &File::IsExecutableSystemCritical>(),
    Row<F::is_exploit_prevention_technique_enabled, &Policy::IsExploitPreventionTechniqueEnabled>(),
    Row<F::is_file_restored_from_quarantine, &Policy::IsFileRestoredFromQuarantine>(),
    Row<F::is_in_blocked_hashes_list, &Policy::IsInBlockedHashesList>(),
    Row<F::is_in_exploit_prevention_list, &Policy::IsInExploitPreventionList>(),
    Row<F::is_in_thumbprint_blocklist, &Policy::IsInThumbprintBlocklist>(),
    Row<F::is_in_trusted_hashes_list, &Policy::IsInTrustedHashesList>(),
    Row<F::is_in_user_allowlist, &Policy::IsInUserAllowlist>(),
    Row<F::is_in_user_blocklist, &Policy::IsInUserBlocklist>(),
    Row<F::is_process_terminable, &Process::IsProcessTerminable>(),
    Row<F::is_process_termination_enabled, &Policy::IsProcessTerminationEnabled>(),
    Row<F::on_edr_event, &Policy::OnEdrEvent>(),
    Row<F::on_significant_process_started, &Policy::OnSignificantProcessStarted>(),
    Row<F::on_significant_process_terminated, &Policy::OnSignificantProcessTerminated>(),
    Row<F::os_execute, &System::OsExecute>(),
    Row<F::os_getenv, &System::OsGetenv>(),
    Row<F::probability_check, &Policy::ProbabilityCheck>(),
    Row<F::read_text_file, &File::ReadTextFile>(),
    Row<F::read_text_file_dm, &File::ReadTextFileDm>(),
    Row<F::reg_parse_int, &System::RegistryParseInt>(),
    Row<F::reg_parse_string, &System::RegistryParseString>(),
    Row<F::reset_avc_scan_statistics, &Policy::ResetAvcScanStatistics>(),
    Row<F::send_features_telemetry, &Policy::SendFeaturesTelemetry>(),
    Row<F::send_json_telemetry, &Policy::SendJsonTelemetry>(),
    Row<F::send_telemetry, &Policy::SendTelemetry>(),
    Row<F::set_avc_verdict, &Policy::SetAvcVerdict>(),
    Row<F::set_process_monitored_status, &Policy::SetProcessMonitoredStatus>(),
    Row<F::suppress_process, &Policy::SuppressProcess>(),
    Row<F::terminate_process, &Process::TerminateProcessByHost>(),
    Row<F::upload_sample, &Policy::UploadSample>(),
    Row<F::whitelist_process, &Policy::WhitelistProcess>(),
    Row<F::check_is_uwp, &Process::CheckIsUwp>(),
    Row<F::check_signature, &File::CheckSignature, 18>(),
    Row<F::reg_delete_key, &System::RegistryDeleteKey>(),
    Row<F::reg_delete_value, &System::RegistryDeleteValue>(),
    Row<F::get_acc_attr_by_pid, &Process::GetAccAttrByPid>(),
    Row<F::get_acc_attr_by_sid, &Process::GetAccAttrBySid>(),
    Row<F::get_consumer_payload, &System::GetConsumerPayload>(),
    Row<F::get_loaded_modules, &Process::GetLoadedModules>(),
    Row<F::get_original_filename, &File::GetOriginalFilename>(),
    Row<F::get_proc_priv_attr, &Process::GetProcPrivAttr>(),
    Row<F::get_proc_snapshot, &Process::GetProcSnapshot>(),
    Row<F::get_shell_link_target, &File::GetShellLinkTarget>(),
    Row<F::get_volume_serial, &System::GetVolumeSerial>(),
    Row<F::get_volume_type, &System::GetVolumeType>(),
    Row<F::get_volumes_map, &System::GetVolumesMap>(),
    Row<F::have_window, &Process::HaveWindow>(),
    Row<F::hollow_detect_terminate, &Process::HollowDetectTerminate>(),
    Row<F::inject_detect_terminate, &Process::InjectDetectTerminate>(),
    Row<F::memory_scan_itdt, &Process::MemoryScanItdt>(),
    Row<F::memory_scan_ml_get_statistic, &Process::MemoryScanMlGetStatistic>(),
    Row<F::reg_key_exists, &System::RegistryKeyExists>(),
    Row<F::reg_read_string, &System::RegistryReadString>(),
    Row<F::set_process_logging, &Process::SetProcessLogging, -1, &Process::SetProcessLoggingGate>(),
};

// Registration order is catalogue order; each function appears once.
constexpr bool InCatalogueOrder() {
    for (std::size_t i = 1; i < kRegistry.size(); ++i) {
        if (kRegistry[i - 1].id >= kRegistry[i].id) return false;
    }
    return true;
}
static_assert(InCatalogueOrder(), "registry rows must follow catalogue order without repeats");
static_assert(kRegistry.size() == kFunctionCount, "every catalogued function is registered");

}  // namespace

std::span<const RegistryRow> FunctionRegistry() { return kRegistry; }

}  // namespace ScanEngine
