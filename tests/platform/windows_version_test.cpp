// The Wine prefix a test runs in reports the Windows build it was made for,
// so behaviour that depends on the system version can be tested on several.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

TEST(TestPrefix, ReportsWindows10WithTheRequestedBuild) {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    auto get_version = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(get_version, nullptr);
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_EQ(get_version(&version), 0);

    wchar_t requested[32] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"ORVIK_WINE_BUILD", requested, 32), 0u) << "run through cmake/wine-run";
    EXPECT_EQ(version.dwMajorVersion, 10u);
    EXPECT_EQ(std::to_wstring(version.dwBuildNumber), std::wstring(requested));
}

}  // namespace
