// Process control, attributes and the process snapshot through the module, on
// the test's own process and subject processes it starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>
#include <regex>
#include <type_traits>

#include "common/utf.h"
#include "common/windows_error.h"
#include "host/host_objects.h"
#include "support/module_fixture.h"
#include "support/subject_process.h"

namespace OrvikTest {
namespace {

using ProcessControl = ModuleTest;
using ProcessLogging = ModuleTest;
namespace Abi = ScanEngine::Abi;

template <typename Fn>
Fn Export(const wchar_t* module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(module), name)));
}

TEST_F(ProcessControl, TerminationGoesThroughTheHostWhoseErrorObjectIsReleased) {
    CallResult r = Call("terminate_process", {Arg::Int("pid", 0x100001092)});  // low 32 bits: 4242
    EXPECT_EQ(std::pair(r.result, LogLines(r.log)),
              std::pair(0ll, Strings{"0:Successfully terminated process '4242'"}));
    EXPECT_EQ(Host().State().terminated.count(4242), 1u);
    r = Call("terminate_process", {Arg::Int("pid", 4)});
    EXPECT_EQ(r.result, 5);
    EXPECT_EQ(LogLines(r.log), Strings{"2:Failed to terminate process '4' : 'process cannot be terminated' - Result: 5"});
    // A refusal without an error object is reported, never read.
    Host().ForceResult("TerminateProcessById", 31);
    r = Call("terminate_process", {Arg::Int("pid", 77)});
    EXPECT_EQ(std::pair(r.result, LogLines(r.log)),
              std::pair(31ll, Strings{"2:Failed to terminate process '77' : 'unknown error' - Result: 31"}));
    // An error object that comes with success is released too (checked at teardown).
    static RefHost::ObjectPool* pool;
    pool = &Host().Objects();
    engine_.ServiceInterface()->TerminateProcessById = [](Abi::ServiceInterface*, std::uint32_t, Abi::HostError** e) {
        *e = &pool->Make<RefHost::HostErrorObject>("stray")->abi;
        return 0;
    };
    EXPECT_EQ(Call("terminate_process", {Arg::Int("pid", 78)}).result, 0);
}

// Also runs in prefixes of builds 7601, 17763 and 22000 (tests/CMakeLists.txt).
TEST_F(ProcessLogging, OldSystemsGet50AndNewerOnesTheMaskedFlagsBeforeTheSetting) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_EQ(Export<LONG(WINAPI*)(OSVERSIONINFOW*)>(L"ntdll", "RtlGetVersion")(&version), 0);
    wchar_t requested[32] = {};
    if (GetEnvironmentVariableW(L"ORVIK_WINE_BUILD", requested, 32) > 0) {
        ASSERT_EQ(std::to_wstring(version.dwBuildNumber), requested) << "wrong prefix";
    }
    const DWORD self = GetCurrentProcessId();
    if (version.dwMajorVersion < 10 || version.dwBuildNumber < 17763) {
        // Before the arguments are even looked at.
        for (const auto& args : {std::vector<Arg>{Arg::Int("pid", self), Arg::Int("flags", 1), Arg::OutInt("enabled", 1)},
                                 std::vector<Arg>{}}) {
            const CallResult r = Call("set_process_logging", args);
            EXPECT_TRUE(r.result == 50 && r.log.empty() && r.variables.empty()) << r.result;
        }
        return;
    }
    // The masked flags are written first; Wine does not implement the system call (0xC0000002), so the
    // failure path runs.
    const std::uint64_t mask = version.dwBuildNumber >= 22000 ? 0x7F : 0xF;
    CallResult r =
        Call("set_process_logging", {Arg::Int("pid", self), Arg::Int("flags", 0xFF), Arg::OutInt("enabled", 1)});
    EXPECT_EQ(r.result, static_cast<LONG>(0xC0000002));
    EXPECT_EQ(r.variables.at(1).integer, mask);
    EXPECT_EQ(LogLines(r.log), Strings{"2:Enable logging for PID " + std::to_string(self) +
                                       " failed with error code -1073741822(0xc0000002)\n"});
    r = Call("set_process_logging", {Arg::Int("pid", 0), Arg::Int("flags", -1), Arg::OutInt("enabled", 1)});
    EXPECT_EQ(r.result, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(r.variables.at(1).integer, mask);
    EXPECT_EQ(LogLines(r.log), Strings{"2:OpenProcess for PID 0 failed with error code 87\n"});
}

TEST_F(ProcessControl, OnlyVisibleTopLevelWindowsCount) {
    // The test's own top-level window, hidden and then shown; the subject has none.
    SubjectProcess windowless({"worker"});
    const std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&DestroyWindow)> window(
        CreateWindowExW(0, L"STATIC", L"orvik test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                        GetModuleHandleW(nullptr), nullptr),
        &DestroyWindow);
    ASSERT_NE(window, nullptr);
    const DWORD self = GetCurrentProcessId();
    for (const auto mode : {RefHost::ProcessInfoMode::WithToken, RefHost::ProcessInfoMode::None}) {
        for (const auto& [pid, expected] : {std::pair{self, 0}, {self, 1}, {windowless.Pid(), 0}}) {
            if (expected == 1) ShowWindow(window.get(), SW_SHOWNA);
            auto call = NewCall();
            call->process_info = mode;
            const CallResult r = Call("have_window", {Arg::Int("pid", pid)}, *call);
            EXPECT_EQ(std::pair(r.result, LogLines(r.log)), std::pair(std::int64_t{expected}, Strings{})) << pid;
        }
        ShowWindow(window.get(), SW_HIDE);
    }
    HANDLE token = nullptr;
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) << "still impersonating";

    auto call = NewCall();
    call->process_info = RefHost::ProcessInfoMode::WithBrokenToken;
    const CallResult r = Call("have_window", {Arg::Int("pid", self)}, *call);
    EXPECT_EQ(std::pair(r.result, LogLines(r.log)),
              std::pair(-1ll, Strings{"2:0x00000006: " + Common::FormatWindowsError(ERROR_INVALID_HANDLE)}));
}

TEST_F(ProcessControl, LoadedModulesAreListedWithFullNamesTheImageFirst) {
    const test::TempDir dir;
    const std::string long_dll = LongPathCopy(dir, "version_en.dll");
    SubjectProcess subject({"load=dbghelp.dll", "load=" + long_dll});
    CallResult r = Call("get_loaded_modules", {Arg::Int("pid", subject.Pid()), Arg::OutStr("modules", 1)});
    const std::string text = r.variables.at(1).text;
    const std::wstring image = SubjectProcess::ExecutablePath();
    EXPECT_EQ(text.rfind(Common::WideToUtf8(image.data(), image.size()) + "::", 0), 0u) << text;
    // The DLL it loaded by name, with its folder, and the one longer than MAX_PATH whole; the result counts them all.
    EXPECT_NE(text.find("\\system32\\dbghelp.dll::"), std::string::npos) << text;
    EXPECT_NE(text.find("::" + long_dll.substr(4) + "::"), std::string::npos) << text;
    std::int64_t names = 0;
    for (std::size_t at = 0; (at = text.find("::", at)) != std::string::npos; at += 2) ++names;
    EXPECT_EQ(r.result, names);
    EXPECT_GE(names, 5) << "the image, ntdll, kernel32 and the two loaded DLLs at least";
    // A process that cannot be opened: 0, nothing written.
    r = Call("get_loaded_modules", {Arg::Int("pid", 0), Arg::OutStr("modules", 1)});
    EXPECT_TRUE(r.result == 0 && r.variables.empty() && r.log.empty()) << r.result;
}

using Item = std::array<std::uint64_t, 4>;  // pid, start, parent pid, parent start

std::uint64_t StartMicroseconds(HANDLE process) {
    FILETIME creation{}, unused[3];
    EXPECT_TRUE(GetProcessTimes(process, &creation, &unused[0], &unused[1], &unused[2]));
    return ((std::uint64_t{creation.dwHighDateTime} << 32) | creation.dwLowDateTime) / 10 - 11644473600000000ull;
}

TEST_F(ProcessControl, SubjectsAppearWithTheirParentAndStartTimesAndMissingTimesAreLogged) {
    SubjectProcess first({}), second({"worker"});
    const CallResult r = Call("get_proc_snapshot", {Arg::OutStr("proc_snapshot", 3)});
    ASSERT_EQ(r.result, 0);
    const std::string text = r.variables.at(3).text;
    ASSERT_TRUE(std::regex_match(text, std::regex(R"(([1-9]\d*,\d+,[1-9]\d*,\d+;)+)"))) << text;

    std::vector<Item> items;
    std::map<std::uint64_t, Item> by_pid;
    const std::regex item_form(R"((\d+),(\d+),(\d+),(\d+);)");
    for (std::sregex_iterator it(text.begin(), text.end(), item_form), end; it != end; ++it) {
        items.push_back({std::stoull((*it)[1]), std::stoull((*it)[2]), std::stoull((*it)[3]), std::stoull((*it)[4])});
        by_pid[items.back()[0]] = items.back();
    }
    const std::uint64_t self = GetCurrentProcessId();
    for (const SubjectProcess* subject : {&first, &second})
        EXPECT_EQ(by_pid[subject->Pid()], (Item{subject->Pid(), StartMicroseconds(subject->Handle()), self,
                                                StartMicroseconds(GetCurrentProcess())}));
    // Wine starts the test program with parent id 0: it is left out.
    EXPECT_EQ(by_pid.count(self), 0u);

    // Each missing start time has its line, after the open failure when that
    // was the cause, in item order; nothing else is logged. (Under Wine the
    // parents of services.exe and of the test's launcher are gone.)
    std::size_t line = 0;
    const auto expect_missing = [&](std::uint64_t pid, const std::string& which) {
        const std::string id = std::to_string(pid);
        if (line < r.log.size() &&
            std::regex_match(LogLines(r.log)[line],
                             std::regex("2:OpenProcess failed with error code \\d+, for PID " + id + " \n")))
            ++line;
        ASSERT_LT(line, r.log.size());
        EXPECT_EQ(LogLines(r.log)[line++], "2:GetProcessStartime failed for " + which + " " + id + "\n");
    };
    for (const Item& item : items) {
        if (item[1] == 0) expect_missing(item[0], "PID");
        if (item[3] == 0) expect_missing(item[2], "ParentPID");
    }
    EXPECT_EQ(line, r.log.size());
    EXPECT_GT(line, 0u);
}

}  // namespace
}  // namespace OrvikTest
