// Accounts and token attributes through the module, for the test's own process and subjects it starts. Under
// Wine every token has user S-1-5-21-0-0-0-1000, integrity 0x3000, Administrators membership and elevation;
// a token the test made with Administrators disabled is no member.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/unique_handle.h"
#include "common/utf.h"
#include "common/windows_error.h"
#include "support/module_fixture.h"
#include "support/subject_process.h"

namespace OrvikTest {
namespace {

using Common::UniqueHandle;

std::vector<Arg> AccountArgs(Arg input) {
    return {input, Arg::OutStr("username", 1), Arg::OutStr("domain", 2), Arg::OutStr("sid_type", 3),
            Arg::OutStr("sid_bin", 4)};
}
std::vector<Arg> Priv(std::int64_t pid) {
    return {Arg::Int("pid", pid), Arg::OutInt("integrity_lvl", 1), Arg::OutInt("is_elevated", 2),
            Arg::OutInt("is_in_admin_group", 3)};
}

using AccountAttributes = ModuleTest;

TEST_F(AccountAttributes, NamesAccountsBySidAndByPidWritesTheBinarySidEvenWhenNoneMatchesAndRejectsOtherTexts) {
    // The user is the logged-on Unix user, in the domain named after the machine.
    wchar_t user[256], machine[256];
    DWORD user_size = 256, machine_size = 256;
    ASSERT_TRUE(GetUserNameW(user, &user_size) && GetComputerNameW(machine, &machine_size));
    SubjectProcess subject({"worker"});
    const Vars own_user = {{1, "s:" + Common::WideToUtf8(user, wcslen(user))},
                           {2, "s:" + Common::WideToUtf8(machine, machine_size)}, {3, "s:User"},
                           {4, "s:010500000000000515000000000000000000000000000000e8030000"}};
    const std::pair<Arg, Vars> named[] = {
        {Arg::Str("sid_str", "S-1-5-18"),
         {{1, "s:SYSTEM"}, {2, "s:NT AUTHORITY"}, {3, "s:Well Known Group"}, {4, "s:010100000000000512000000"}}},
        {Arg::Int("pid", subject.Pid()), own_user},
    };
    for (const auto& [input, expected] : named) {
        const char* function = input.name == "pid" ? "get_acc_attr_by_pid" : "get_acc_attr_by_sid";
        const CallResult r = Call(function, AccountArgs(input));
        EXPECT_EQ(std::pair(r.result, LogLines(r.log)), std::pair(0ll, Strings{})) << input.name;
        EXPECT_EQ(Written(r), expected) << input.name;
    }
    const CallResult r = Call("get_acc_attr_by_sid", AccountArgs(Arg::Str("sid_str", "S-1-5-21-1-2-3-4242")));
    EXPECT_EQ(std::pair(r.result, LogLines(r.log)),
              std::pair(1332ll, Strings{"2:LookupAccountSidW failed with error code 1332"}));
    EXPECT_EQ(Written(r), (Vars{{4, "s:01050000000000051500000001000000020000000300000092100000"}}));
    // Texts that are no SID: nothing written.
    for (const std::string text :
         {"S-2-5-18", "S-1", "Administrators", "S-1-5-4294967296", "S-1-5-21-1-2-3-4-5-6-7-500"}) {
        const CallResult r = Call("get_acc_attr_by_sid", AccountArgs(Arg::Str("sid_str", text)));
        EXPECT_EQ(std::pair(r.result, LogLines(r.log)),
                  std::pair(-1ll, Strings{"2:Can't convert string '" + text + "' to SID"}));
        EXPECT_TRUE(r.variables.empty()) << text;
    }
    // Processes that cannot be opened, for both pid queries.
    for (const std::int64_t pid : {0, 4}) {
        const CallResult r = Call("get_acc_attr_by_pid", AccountArgs(Arg::Int("pid", pid)));
        EXPECT_EQ(std::pair(r.result, LogLines(r.log)),
                  std::pair(87ll, Strings{"2:OpenProcess failed for PID " + std::to_string(pid) + "; 0x00000057: " +
                                          Common::FormatWindowsError(87)}));
        EXPECT_TRUE(r.variables.empty()) << pid;
        const CallResult priv = Call("get_proc_priv_attr", Priv(pid));
        EXPECT_EQ(priv.result, 87) << pid;
        EXPECT_EQ(LogLines(priv.log),
                  Strings{"2:OpenProcess failed with error code 87, for PID " + std::to_string(pid) + " \n"});
        EXPECT_TRUE(priv.variables.empty()) << pid;
    }
}

TEST_F(AccountAttributes, ReportsIntegrityElevationAndMembership) {
    // A suspended subject whose token has the Administrators group disabled.
    UniqueHandle own, restricted;
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof admins;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, own.Put()));
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size));
    SID_AND_ATTRIBUTES disabled{admins, 0};
    ASSERT_TRUE(CreateRestrictedToken(own.Get(), 0, 1, &disabled, 0, nullptr, 0, nullptr, restricted.Put()));
    std::wstring command = L"\"" + SubjectProcess::ExecutablePath() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessAsUserW(restricted.Get(), nullptr, command.data(), nullptr, nullptr, FALSE,
                                     CREATE_SUSPENDED, nullptr, nullptr, &startup, &info));
    const UniqueHandle non_admin(info.hProcess), thread(info.hThread);
    SubjectProcess subject({"worker"});
    const std::pair<DWORD, Vars> cases[] = {
        {subject.Pid(), {{1, "i:12288"}, {2, "i:1"}, {3, "i:1"}}},
        {info.dwProcessId, {{1, "i:12288"}, {2, "i:1"}, {3, "i:0"}}},
    };
    for (const auto& [pid, expected] : cases) {
        const CallResult r = Call("get_proc_priv_attr", Priv(pid));
        EXPECT_EQ(std::pair(r.result, LogLines(r.log)), std::pair(0ll, Strings{})) << pid;
        EXPECT_EQ(Written(r), expected) << pid;
    }
    TerminateProcess(non_admin.Get(), 1);
}

}  // namespace
}  // namespace OrvikTest
