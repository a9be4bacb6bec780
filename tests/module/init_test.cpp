// Start-up and shut-down through the two exported entry points, and the DLL's export table.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "host/loaded_module.h"
#include "orvik/context/function_catalogue.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using RefHost::HostEngine;
using RefHost::LoadedModule;

void* const kUntouched = reinterpret_cast<void*>(0x5A5A5A5A);

TEST(Init, RefusesAnotherApiVersionAndMissingOrIncompleteHostRecords) {
    LoadedModule module;
    const std::vector<std::string> queried = {"scan-engine/SI"};
    const struct {
        std::uint32_t api_version;
        bool present;
        std::uint64_t version;
        std::string line;
    } cases[] = {
        {8, true, 19, "scan-engine backend API version mismatch: expected 7 but got 8"},
        {7, false, 19, "interface 'scan-engine/SI' not found"},
        {7, true, 20, "interface 'scan-engine/SI' version mismatch: expected 19 but got 20"},
    };
    for (const auto& c : cases) {
        HostEngine engine;
        engine.Answer().present = c.present;
        engine.Answer().version = c.version;
        void* context = kUntouched;
        EXPECT_EQ(module.InitEntry()(c.api_version, engine.Logger(), engine.Registrar(), &context), -1);
        EXPECT_EQ(context, kUntouched);
        // A refused API version is answered before the host is asked anything.
        EXPECT_EQ(engine.InterfaceQueries(), c.api_version == 7 ? queried : std::vector<std::string>{}) << c.line;
        EXPECT_TRUE(engine.Registrations().empty()) << c.line;
        EXPECT_EQ(LogLines(engine.StartupLog()), std::vector<std::string>{"2:" + c.line});
    }

    // Host records that are missing or incomplete.
    HostEngine engine;
    void* context = kUntouched;
    EXPECT_EQ(module.InitEntry()(7, engine.Logger(), nullptr, &context), -1);
    EXPECT_EQ(module.InitEntry()(8, nullptr, engine.Registrar(), &context), -1);
    EXPECT_EQ(context, kUntouched);
    EXPECT_TRUE(engine.Registrations().empty());

    ScanEngine::Abi::HostRegistrar without_query = *engine.Registrar();
    without_query.QueryInterface = nullptr;
    EXPECT_EQ(module.InitEntry()(7, engine.Logger(), &without_query, &context), -1);
    EXPECT_EQ(context, kUntouched);
    EXPECT_EQ(engine.StartupLog().back().text, "host operation 'QueryInterface' is not available");
}

TEST(Init, RegistersEveryFunctionOnceInCatalogueOrderAndDeinitReleasesTheContext) {
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

    // Shut-down ignores a null context and releases a real one.
    module.DeinitEntry()(nullptr);
    module.Deinit();  // destroys the context; a leak or double free would show under a checker
    EXPECT_EQ(module.Context(), nullptr);
}

// The built DLL's own tables, read from the image the loader mapped.
TEST(ExportTable, HoldsExactlyTheTwoEntryPoints) {
    const LoadedModule module;
    const auto* base = reinterpret_cast<const char*>(GetModuleHandleW(RefHost::DefaultModulePath().c_str()));
    ASSERT_NE(base, nullptr);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    ASSERT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    const DWORD export_rva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
    ASSERT_NE(export_rva, 0u);

    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + export_rva);
    const auto* name_addresses = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::vector<std::string> names(exports->NumberOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) names[i] = base + name_addresses[i];
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ScanEngineExtensionDeinit", "ScanEngineExtensionInit"}));
    EXPECT_EQ(exports->NumberOfFunctions, 2u) << "no exports by ordinal only";
}

}  // namespace
}  // namespace OrvikTest
