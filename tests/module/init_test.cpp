// Start-up and shut-down through the two exported entry points, and the DLL's export and import tables.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "host/loaded_module.h"
#include "orvik/context/function_catalogue.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using RefHost::HostEngine;
using RefHost::LoadedModule;

void* const kUntouched = reinterpret_cast<void*>(0x5A5A5A5A);

TEST(Init, RefusesAnotherApiVersionAMissingServiceInterfaceOrAnotherOfItsVersions) {
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

TEST(Init, SurvivesHostRecordsThatAreMissingOrIncompleteAndDeinitReleasesTheContext) {
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

    // Shut-down ignores a null context and releases a real one.
    module.DeinitEntry()(nullptr);
    ASSERT_EQ(module.Init(engine), 0);
    module.Deinit();  // destroys the context; a leak or double free would show under a checker
    EXPECT_EQ(module.Context(), nullptr);
}

// The built DLL's own tables, read from the image the loader mapped.
TEST(ExportTable, HoldsExactlyTheTwoEntryPointsAndImportsOnlySystemDlls) {
    const LoadedModule module;
    const auto* base = reinterpret_cast<const char*>(GetModuleHandleW(RefHost::DefaultModulePath().c_str()));
    ASSERT_NE(base, nullptr);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    ASSERT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    const IMAGE_DATA_DIRECTORY* directories = nt->OptionalHeader.DataDirectory;
    const DWORD export_rva = directories[IMAGE_DIRECTORY_ENTRY_EXPORT].VirtualAddress;
    const DWORD import_rva = directories[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    ASSERT_TRUE(export_rva != 0 && import_rva != 0);

    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + export_rva);
    const auto* name_addresses = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::vector<std::string> names(exports->NumberOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) names[i] = base + name_addresses[i];
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ScanEngineExtensionDeinit", "ScanEngineExtensionInit"}));
    EXPECT_EQ(exports->NumberOfFunctions, 2u) << "no exports by ordinal only";

    // The C++ runtime, libgcc and winpthread are linked in, so only DLLs that
    // every Windows system has may appear here.
    const std::vector<std::string> system = {"kernel32.dll", "advapi32.dll", "msvcrt.dll", "ntdll.dll",
                                             "user32.dll",   "ole32.dll",    "oleaut32.dll", "version.dll",
                                             "dbghelp.dll",  "iphlpapi.dll", "shell32.dll", "bcrypt.dll"};
    const auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + import_rva);
    ASSERT_NE(import->Name, 0u);
    for (; import->Name != 0; ++import) {
        const std::string dll = base + import->Name;
        std::string lower = dll;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
        EXPECT_NE(std::find(system.begin(), system.end(), lower), system.end()) << dll;
    }
}

}  // namespace
}  // namespace OrvikTest
