// Start-up and shut-down through the two exported entry points.
#include <gtest/gtest.h>

#include "host/loaded_module.h"
#include "orvik/context/function_catalogue.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using RefHost::HostEngine;
using RefHost::LoadedModule;

void* const kUntouched = reinterpret_cast<void*>(0x5A5A5A5A);

std::int32_t InitRaw(LoadedModule& module, HostEngine& engine, std::uint32_t version, void** context) {
    return module.InitEntry()(version, engine.Logger(), engine.Registrar(), context);
}

TEST(Init, RefusesEveryApiVersionButSeven) {
    LoadedModule module;
    for (std::uint32_t version : {6u, 8u}) {
        HostEngine engine;
        void* context = kUntouched;
        EXPECT_EQ(InitRaw(module, engine, version, &context), -1);
        EXPECT_EQ(context, kUntouched);
        EXPECT_TRUE(engine.Registrations().empty());
        EXPECT_TRUE(engine.InterfaceQueries().empty());
        ASSERT_EQ(engine.StartupLog().size(), 1u);
        EXPECT_EQ(engine.StartupLog()[0].level, 2u);
        EXPECT_EQ(engine.StartupLog()[0].text,
                  "scan-engine backend API version mismatch: expected 7 but got " + std::to_string(version));
    }
}

TEST(Init, FailsWithoutTheServiceInterfaceOrWithAnotherVersion) {
    LoadedModule module;
    struct Case {
        bool present;
        std::uint64_t version;
        std::string line;
    } cases[] = {
        {false, 19, "interface 'scan-engine/SI' not found"},
        {true, 18, "interface 'scan-engine/SI' version mismatch: expected 19 but got 18"},
        {true, 20, "interface 'scan-engine/SI' version mismatch: expected 19 but got 20"},
    };
    for (const Case& c : cases) {
        HostEngine engine;
        engine.Answer().present = c.present;
        engine.Answer().version = c.version;
        void* context = kUntouched;
        EXPECT_EQ(InitRaw(module, engine, 7, &context), -1);
        EXPECT_EQ(context, kUntouched);
        EXPECT_EQ(engine.InterfaceQueries(), std::vector<std::string>{"scan-engine/SI"});
        EXPECT_TRUE(engine.Registrations().empty()) << c.line;
        ASSERT_EQ(engine.StartupLog().size(), 1u);
        EXPECT_EQ(engine.StartupLog()[0].level, 2u);
        EXPECT_EQ(engine.StartupLog()[0].text, c.line);
    }
}

TEST(Init, RegistersEveryImplementedFunctionOnceInCatalogueOrder) {
    LoadedModule module;
    HostEngine engine;
    ASSERT_EQ(module.Init(engine), 0);
    ASSERT_NE(module.Context(), nullptr);
    EXPECT_TRUE(engine.StartupLog().empty());

    std::vector<std::string> names;
    for (const auto& r : engine.Registrations()) {
        names.push_back(r.name);
        EXPECT_EQ(r.context, module.Context()) << r.name;
        EXPECT_NE(r.handler, nullptr) << r.name;
    }
    const std::vector<std::string> implemented = {
        "alert", "check_corporate_whitelist", "check_extended_signature", "check_file_reputation_service", "delete_file", "dir_exist",
        "disable_ep_file", "entropy", "eval_hashes", "eval_tlsh_hash", "file_exist", "get_file_attributes", "get_avc_scan_statistics", "get_avc_verdict",
        "get_current_action_on_detection", "get_file_creation_time", "get_file_modification_time",
        "get_file_size", "get_file_info", "get_process_categories", "get_process_info", "get_process_tree_json",
        "get_unix_group_info", "get_unix_user_info", "is_engine_enabled", "is_executable_system_critical", "is_exploit_prevention_technique_enabled",
        "is_file_restored_from_quarantine", "is_in_blocked_hashes_list", "is_in_exploit_prevention_list",
        "is_in_thumbprint_blocklist", "is_in_trusted_hashes_list", "is_in_user_allowlist",
        "is_in_user_blocklist", "is_process_terminable", "is_process_termination_enabled", "on_edr_event",
        "on_significant_process_started", "on_significant_process_terminated", "os_execute", "os_getenv",
        "probability_check", "read_text_file", "read_text_file_dm",
        "reset_avc_scan_statistics", "send_features_telemetry", "send_json_telemetry", "send_telemetry",
        "set_avc_verdict", "set_process_monitored_status", "suppress_process", "upload_sample",
        "whitelist_process", "check_signature", "get_original_filename", "get_shell_link_target"};
    EXPECT_EQ(names, implemented);

    // Registration order is the catalogue's order.
    std::size_t last = 0;
    for (const auto& name : names) {
        std::size_t index = 0;
        while (index < ScanEngine::kFunctionCount && name != ScanEngine::kFunctionCatalogue[index].name) ++index;
        ASSERT_LT(index, ScanEngine::kFunctionCount) << name;
        EXPECT_GE(index, last);
        last = index;
    }
}

TEST(Init, SurvivesHostRecordsThatAreMissingOrIncomplete) {
    LoadedModule module;
    HostEngine engine;
    void* context = kUntouched;
    EXPECT_EQ(module.InitEntry()(7, engine.Logger(), nullptr, &context), -1);
    EXPECT_EQ(module.InitEntry()(7, engine.Logger(), engine.Registrar(), nullptr), -1);
    EXPECT_EQ(module.InitEntry()(8, nullptr, engine.Registrar(), &context), -1);
    EXPECT_EQ(context, kUntouched);
    EXPECT_TRUE(engine.Registrations().empty());

    ScanEngine::Abi::HostRegistrar without_query = *engine.Registrar();
    without_query.QueryInterface = nullptr;
    EXPECT_EQ(module.InitEntry()(7, engine.Logger(), &without_query, &context), -1);
    EXPECT_EQ(context, kUntouched);
    EXPECT_EQ(engine.StartupLog().back().text, "host operation 'QueryInterface' is not available");
}

TEST(Deinit, IgnoresNullAndReleasesTheContext) {
    LoadedModule module;
    module.DeinitEntry()(nullptr);
    HostEngine engine;
    ASSERT_EQ(module.Init(engine), 0);
    module.Deinit();  // destroys the context; a leak or double free would show under a checker
    EXPECT_EQ(module.Context(), nullptr);
}

}  // namespace
}  // namespace OrvikTest
