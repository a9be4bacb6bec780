// The built DLL's own tables, read from the image the loader mapped: exactly
// two exports, only system imports.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iostream>

#include "host/loaded_module.h"

namespace OrvikTest {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST(ExportTable, HoldsExactlyTheTwoEntryPointsAndImportsOnlySystemDlls) {
    const RefHost::LoadedModule module;
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
        std::cout << "imports " << dll << "\n";
        EXPECT_NE(std::find(system.begin(), system.end(), Lower(dll)), system.end()) << dll;
    }
}

}  // namespace
}  // namespace OrvikTest
