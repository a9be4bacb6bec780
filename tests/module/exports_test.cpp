// The built DLL's own tables: exactly two exports, only system imports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <iostream>

#include "common/utf.h"
#include "host/loaded_module.h"
#include "support/pe_image.h"

namespace OrvikTest {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

TEST(ExportTable, HoldsExactlyTheTwoEntryPointsAndImportsOnlySystemDlls) {
    const std::wstring wide = RefHost::DefaultModulePath();
    const PeTables tables = ReadPeTables(ReadFileBytes(Common::WideToUtf8(wide.data(), wide.size())));
    ASSERT_EQ(tables.error, "");

    std::vector<std::string> names = tables.export_names;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ScanEngineExtensionDeinit", "ScanEngineExtensionInit"}));
    EXPECT_EQ(tables.export_count, 2u) << "no exports by ordinal only";

    // The C++ runtime, libgcc and winpthread are linked in, so only DLLs that
    // every Windows system has may appear here.
    const std::vector<std::string> system = {"kernel32.dll", "advapi32.dll", "msvcrt.dll", "ntdll.dll",
                                             "user32.dll",   "ole32.dll",    "oleaut32.dll", "version.dll",
                                             "dbghelp.dll",  "iphlpapi.dll", "shell32.dll", "bcrypt.dll"};
    ASSERT_FALSE(tables.imported_dlls.empty());
    for (const std::string& dll : tables.imported_dlls) {
        std::cout << "imports " << dll << "\n";
        EXPECT_NE(std::find(system.begin(), system.end(), Lower(dll)), system.end()) << dll;
    }
}

TEST(PeReader, RejectsTruncatedAndForeignFiles) {
    EXPECT_NE(ReadPeTables({}).error, "");
    EXPECT_NE(ReadPeTables({'M', 'Z', 0, 0}).error, "");
    std::vector<std::uint8_t> not_pe(0x100, 0);
    not_pe[0] = 'M';
    not_pe[1] = 'Z';
    not_pe[0x3C] = 0x40;
    EXPECT_EQ(ReadPeTables(not_pe).error, "no PE signature");
}

}  // namespace
}  // namespace OrvikTest
