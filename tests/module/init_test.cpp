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

TEST(Init, RegistersEveryFunctionOnceInCatalogueOrder) {
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
    // Every catalogued function once, in the catalogue's order, which is the
    // host's table order (not alphabetical: it ends with the later additions).
    ASSERT_EQ(names.size(), ScanEngine::kFunctionCount);
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], ScanEngine::kFunctionCatalogue[i].name);
    EXPECT_EQ(names.front(), "alert");
    EXPECT_EQ(names[56], "check_is_uwp");
    EXPECT_EQ(names.back(), "set_process_logging");
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
