// Every function, called with sensible arguments against a reference host
// that holds what the calls ask about: the host services its calls reach, as
// the journal records them, are exactly those its row declares.
#include <windows.h>

#include <map>
#include <set>

#include "orvik/context/function_catalogue.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

TEST_F(ModuleTest, CallsReachExactlyTheHostServicesTheirRowsDeclare) {
    const std::string file = "C:\\state\\a.txt", ini = "C:\\windows\\win.ini", md5(32, '0');
    const std::int64_t self = GetCurrentProcessId(), thread = GetCurrentThreadId();
    auto& s = Host().State();
    s.files = {{file, "content the host reads"}, {"C:\\state\\gone.txt", "x"}};
    s.nt_to_dos = {{L"\\Device\\Stand\\gone.txt", L"C:\\state\\gone.txt"},
                   {L"\\Device\\Stand\\app.exe", L"C:\\app.exe"}};
    s.signatures[file] = {0, {"AB", "Vendor"}}, s.extended_signatures[file] = {1, "{}"};
    s.process_trees[{10, 20}] = "[]", s.process_categories["a.exe"] = R"({"categories":[]})";
    RefHost::HostProcess process;
    process.pid = 10, process.uid = 77, process.image_nt = u"\\Device\\Stand\\app.exe";
    Host().AddProcess(process);
    const auto I = &Arg::Int;
    const auto S = &Arg::Str;
    const auto O = [](const char* name, std::uint32_t ref = 1) { return Arg::OutInt(name, ref); };
    const auto T = [](const char* name, std::uint32_t ref = 1) { return Arg::OutStr(name, ref); };
    const Arg P = S("path", file), W = S("path", ini), M = S("md5", md5), H1 = S("sha1", std::string(40, '0')),
              H2 = S("sha256", std::string(64, '0')), TH = S("threat", "T"), U = I("puid", 77), E = I("engine_id", 1),
              ME = I("pid", self), ID = I("id", 1);
    const std::vector<Arg> thread_check = {I("tid", thread), ME, I("terminate", 0)};
    const std::vector<Arg> accounts = {T("username", 1), T("domain", 2), T("sid_type", 3), T("sid_bin", 4)};
    const std::pair<const char*, std::vector<Arg>> calls[] = {
        {"alert", {P, I("rule", 1), TH, M, H1, H2}}, {"check_corporate_whitelist", {M}},
        {"check_extended_signature", {P, I("signature_mask", 1), I("is_deep_scan", 0)}},
        {"check_file_reputation_service", {M}},
        {"delete_file", {S("path", "\\Device\\Stand\\gone.txt"), I("to_dos", 1)}},
        {"dir_exist", {S("path", "C:\\windows")}}, {"disable_ep_file", {S("file", file)}},
        {"entropy", {S("text", "abc")}}, {"eval_hashes", {P, T("md5")}}, {"eval_tlsh_hash", {P, T("hash")}},
        {"file_exist", {W}}, {"get_file_attributes", {W, O("file_attributes")}},
        {"set_avc_verdict", {P, ID, I("value", 1), I("scan_depth", 1), I("ttl", 9)}},
        {"get_avc_scan_statistics", {P, ID, O("scan_count")}},
        {"get_avc_verdict", {P, ID, O("value"), I("current_scan_depth", 0)}},
        {"get_current_action_on_detection", {E}}, {"get_file_creation_time", {W}},
        {"get_file_modification_time", {W}}, {"get_file_size", {W}}, {"get_file_info", {W, O("file_size")}},
        {"get_process_categories", {S("file_name", "a.exe"), T("process_categories")}},
        {"get_process_info", {I("query_pid", 10), T("image_filename")}},
        {"get_process_info", {I("query_puid", 77), T("cmdline")}},
        {"get_process_tree_json", {I("pid", 10), I("start_time", 20), T("process_tree_json")}},
        {"get_unix_group_info", {I("uid", 100), T("name")}}, {"get_unix_user_info", {I("uid", 0), T("sid")}},
        {"is_engine_enabled", {E}}, {"is_executable_system_critical", {P, O("status")}},
        {"is_exploit_prevention_technique_enabled", {S("id", "T1")}}, {"is_file_restored_from_quarantine", {P, M}},
        {"is_in_blocked_hashes_list", {S("hash", md5)}}, {"is_in_exploit_prevention_list", {P}},
        {"is_in_thumbprint_blocklist", {S("thumbprint", "AB")}}, {"is_in_trusted_hashes_list", {S("hash", md5)}},
        {"is_in_user_allowlist", {P, U}}, {"is_in_user_blocklist", {P, U}},
        {"is_process_terminable", {S("file_name", "a.exe")}}, {"is_process_termination_enabled", {E}},
        {"on_edr_event", {S("binary", "blob"), I("length", 4)}},
        {"on_significant_process_started", {S("identity", "svc")}},
        {"on_significant_process_terminated", {S("identity", "svc")}}, {"os_execute", {S("cmdline", "cmd /c exit 0")}},
        {"os_getenv", {S("name", "PATH"), T("value")}}, {"probability_check", {I("range", 2)}},
        {"read_text_file", {W, T("text")}}, {"read_text_file_dm", {P, T("text")}},
        {"reg_parse_int", {S("hex_input", "01000000"), O("value")}},
        {"reg_parse_string", {S("hex_input", "41000000"), T("text")}}, {"reset_avc_scan_statistics", {P, ID}},
        {"send_features_telemetry",
         {S("feature_name", "f"), S("feature_value", "v"), I("feature_version", 1), I("file_size", 1), M, H1, H2, P}},
        {"send_json_telemetry", {S("event_type", "e"), S("telemetry_json_body", "{}")}},
        {"send_telemetry", {TH, I("rule", 1), I("silent", 0), M, H1, H2, P, S("cmdline", "app")}},
        {"set_process_monitored_status", {U, I("enabled", 1)}}, {"suppress_process", {U}},
        {"terminate_process", {I("pid", 1234)}}, {"upload_sample", {P, TH}}, {"whitelist_process", {U}},
        {"check_is_uwp", {ME}}, {"check_signature", {P, O("status")}},
        {"reg_delete_key", {S("hive", "HKLM"), S("kname", "Software\\Stand")}},
        {"reg_delete_value", {S("hive", "HKLM"), S("kname", "Software\\Stand"), S("vname", "v")}},
        {"get_acc_attr_by_pid", [&] { auto a = accounts; a.push_back(ME); return a; }()},
        {"get_acc_attr_by_sid", [&] { auto a = accounts; a.push_back(S("sid_str", "S-1-5-18")); return a; }()},
        {"get_consumer_payload", {I("consumerType", 0), S("name", "none"), T("file"), T("script", 2), T("engine", 3)}},
        {"get_loaded_modules", {ME, T("modules")}},
        {"get_original_filename", {S("path", "C:\\windows\\system32\\kernel32.dll"), T("original_filename")}},
        {"get_proc_priv_attr", {ME, O("integrity_lvl"), O("is_elevated", 2), O("is_in_admin_group", 3)}},
        {"get_proc_snapshot", {T("proc_snapshot")}}, {"get_shell_link_target", {S("path", "C:\\none.lnk"), T("text")}},
        {"get_volume_serial", {S("path", "C:\\")}}, {"get_volume_type", {S("path", "C:\\")}},
        {"get_volumes_map", {T("volumes_map")}}, {"have_window", {ME}}, {"hollow_detect_terminate", thread_check},
        {"inject_detect_terminate", thread_check}, {"memory_scan_itdt", {I("unique_key", 1), I("scan_mode", 2)}},
        {"memory_scan_ml_get_statistic", {T("statistic")}},
        {"reg_key_exists", {S("hive", "HKCU"), S("kname", "Software"), O("status")}},
        {"reg_read_string", {S("hive", "HKCU"), S("kname", "Software"), S("vname", "none"), T("text")}},
        {"set_process_logging", {ME, I("flags", 0)}},
    };
    // The calls come from process 77, this one: no uid to resolve; the host lets it be suppressed.
    std::map<std::string, std::set<std::string>> reached;
    for (const auto& [function, args] : calls) {
        auto call = NewCall();
        call->process_uid = 77;
        call->process_id = self;
        call->resolve_suppression[77] = {0, static_cast<std::uint64_t>(self)};
        Host().Journal().Clear();
        const CallResult r = Call(function, args, *call);
        for (const std::string& line : LogLines(r.log))
            EXPECT_EQ(line.find("Malformed functional call"), std::string::npos) << line;
        auto& services = reached[function];
        for (const RefHost::RecordedCall& recorded : Host().Journal().All()) services.insert(recorded.operation);
    }
    for (const ScanEngine::FunctionEntry& entry : ScanEngine::kFunctionCatalogue) {
        ASSERT_TRUE(reached.count(entry.name)) << entry.name << " is never called";
        std::set<std::string> declared;
        for (std::size_t i = 0; i < ScanEngine::kHostServiceCount; ++i)
            if (entry.host_services.Contains(static_cast<ScanEngine::HostService>(i)))
                declared.insert(ScanEngine::kHostServiceNames[i]);
        EXPECT_EQ(reached[entry.name], declared) << entry.name;
    }
}

}  // namespace
}  // namespace OrvikTest
