// Accounts and token attributes through the module, compared with what the
// test reads from the system itself for its own process and subjects.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <tuple>

#include "common/unique_handle.h"
#include "common/utf.h"
#include "common/windows_error.h"
#include "support/module_fixture.h"
#include "support/subject_process.h"

namespace OrvikTest {
namespace {

using Common::UniqueHandle;

// One class of token information; the structures point into the words.
std::vector<std::uint64_t> TokenWords(HANDLE process, TOKEN_INFORMATION_CLASS kind) {
    UniqueHandle token;
    DWORD size = 0;
    if (!OpenProcessToken(process, TOKEN_QUERY, token.Put())) return {};
    GetTokenInformation(token.Get(), kind, nullptr, 0, &size);
    std::vector<std::uint64_t> words(size / 8 + 1);
    return GetTokenInformation(token.Get(), kind, words.data(), size, &size) ? words : std::vector<std::uint64_t>{};
}

std::string UserSid(HANDLE process) {
    const auto info = TokenWords(process, TokenUser);
    const PSID sid = info.empty() ? nullptr : reinterpret_cast<const TOKEN_USER*>(info.data())->User.Sid;
    return sid ? std::string(static_cast<const char*>(sid), GetLengthSid(sid)) : "";
}

// The four account outputs (refs 1 to 4) as the system names `sid`.
Vars AccountVars(const std::string& sid, const std::string& type) {
    wchar_t name[256], domain[256];
    DWORD name_size = 256, domain_size = 256;
    SID_NAME_USE use;
    if (!LookupAccountSidW(nullptr, const_cast<char*>(sid.data()), name, &name_size, domain, &domain_size, &use))
        return {{0, "lookup failed: " + std::to_string(GetLastError())}};
    std::string hex;
    for (unsigned char c : sid) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 0xF];
    return {{1, "s:" + Common::WideToUtf8(name, wcslen(name))}, {2, "s:" + Common::WideToUtf8(domain, wcslen(domain))},
            {3, "s:" + type}, {4, "s:" + hex}};
}

// The three get_proc_priv_attr outputs (refs 1 to 3) as the test reads them.
Vars PrivilegeVars(HANDLE process) {
    const auto label = TokenWords(process, TokenIntegrityLevel), elevation = TokenWords(process, TokenElevation);
    UniqueHandle token, duplicate;
    BYTE admins[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof admins;
    BOOL member = FALSE;
    if (label.empty() || elevation.empty() || !OpenProcessToken(process, TOKEN_DUPLICATE | TOKEN_QUERY, token.Put()) ||
        !DuplicateToken(token.Get(), SecurityImpersonation, duplicate.Put()) ||
        !CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &size) ||
        !CheckTokenMembership(duplicate.Get(), admins, &member))
        return {{0, "unreadable"}};
    const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
    const DWORD level = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1u);
    const bool elevated = reinterpret_cast<const TOKEN_ELEVATION*>(elevation.data())->TokenIsElevated;
    return {{1, "i:" + std::to_string(level)}, {2, elevated ? "i:1" : "i:0"}, {3, member ? "i:1" : "i:0"}};
}

// Handles this process holds, from the system's handle table (Wine keeps no
// per-process handle count).
std::size_t OwnHandleCount() {
    struct Entry {
        PVOID object;
        ULONG_PTR pid, handle;
        ULONG access, other[3];
    };
    using Query = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "NtQuerySystemInformation")));
    std::vector<std::uint64_t> table(1 << 14);
    ULONG needed = 0;
    while (query(64, table.data(), static_cast<ULONG>(table.size() * 8), &needed) == LONG(0xC0000004))
        table.resize(table.size() * 2);  // the table grew
    const auto* entries = reinterpret_cast<const Entry*>(&table[2]);
    std::size_t own = 0;
    for (std::uint64_t i = 0; i < table[0]; ++i) own += entries[i].pid == GetCurrentProcessId();
    return own;
}

std::vector<Arg> AccountArgs(Arg input) {
    return {input, Arg::OutStr("username", 1), Arg::OutStr("domain", 2), Arg::OutStr("sid_type", 3),
            Arg::OutStr("sid_bin", 4)};
}
std::vector<Arg> Priv(std::int64_t pid) {
    return {Arg::Int("pid", pid), Arg::OutInt("integrity_lvl", 1), Arg::OutInt("is_elevated", 2),
            Arg::OutInt("is_in_admin_group", 3)};
}

using AccountAttributes = ModuleTest;

TEST_F(AccountAttributes, BySidNamesAccountsWritesTheBinarySidEvenWhenNoneMatchesAndRejectsOtherTexts) {
    // The user type and longer SIDs: the pid queries and the unknown SID below.
    for (const auto& [text, sid, type] :
         {std::tuple{std::string("S-1-5-18"), std::string("\1\1\0\0\0\0\0\5\x12\0\0\0", 12), "Well Known Group"},
          std::tuple{std::string("S-1-5-32-544 and more"), std::string("\1\2\0\0\0\0\0\5 \0\0\0 \2\0\0", 16), "Alias"}}) {
        const CallResult r = Call("get_acc_attr_by_sid", AccountArgs(Arg::Str("sid_str", text)));
        EXPECT_EQ(r.result, 0) << text;
        EXPECT_TRUE(r.log.empty()) << text;
        EXPECT_EQ(Written(r), AccountVars(sid, type)) << text;
    }
    const CallResult r = Call("get_acc_attr_by_sid", AccountArgs(Arg::Str("sid_str", "S-1-5-21-1-2-3-4242")));
    EXPECT_EQ(r.result, 1332);
    EXPECT_EQ(LogLines(r.log), Strings{"2:LookupAccountSidW failed with error code 1332"});
    EXPECT_EQ(Written(r), (Vars{{4, "s:01050000000000051500000001000000020000000300000092100000"}}));
    // Texts that are no SID: nothing written.
    for (const std::string text : {"S-2-5-18", "S-1", "Administrators", "S-1-5-4294967296", "S-1-5-21-1-2-3-4-5-6-7-500"}) {
        const CallResult r = Call("get_acc_attr_by_sid", AccountArgs(Arg::Str("sid_str", text)));
        EXPECT_EQ(r.result, -1) << text;
        EXPECT_EQ(LogLines(r.log), Strings{"2:Can't convert string '" + text + "' to SID"});
        EXPECT_TRUE(r.variables.empty()) << text;
    }
}

TEST_F(AccountAttributes, ByPidNamesTheUserOfOwnAndSubjectProcessesAndBothPidQueriesReportUnopenableOnes) {
    SubjectProcess subject({"worker"});
    for (const auto& [pid, process] : {std::pair{GetCurrentProcessId(), GetCurrentProcess()},
                                       std::pair{DWORD{subject.Pid()}, subject.Handle()}}) {
        const CallResult r = Call("get_acc_attr_by_pid", AccountArgs(Arg::Int("pid", pid)));
        EXPECT_EQ(r.result, 0) << pid;
        EXPECT_TRUE(r.log.empty()) << pid;
        EXPECT_EQ(Written(r), AccountVars(UserSid(process), "User")) << pid;
    }
    for (const std::int64_t pid : {0, 4}) {
        const CallResult r = Call("get_acc_attr_by_pid", AccountArgs(Arg::Int("pid", pid)));
        EXPECT_EQ(std::pair(r.result, LogLines(r.log)),
                  std::pair(87ll, Strings{"2:OpenProcess failed for PID " + std::to_string(pid) + "; 0x00000057: " +
                                          Common::FormatWindowsError(87)}));
        EXPECT_TRUE(r.variables.empty()) << pid;
        const CallResult priv = Call("get_proc_priv_attr", Priv(pid));
        EXPECT_EQ(priv.result, 87) << pid;
        EXPECT_EQ(LogLines(priv.log), Strings{"2:OpenProcess failed with error code 87, for PID " + std::to_string(pid) + " \n"});
        EXPECT_TRUE(priv.variables.empty()) << pid;
    }
}

using ProcPrivAttr = ModuleTest;

TEST_F(ProcPrivAttr, ReportsIntegrityAndMembershipAsTheTokensTellThem) {
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

    EXPECT_EQ(PrivilegeVars(non_admin.Get())[3], "i:0");
    for (const auto& [pid, process] : {std::pair{GetCurrentProcessId(), GetCurrentProcess()},
                                       std::pair{DWORD{subject.Pid()}, subject.Handle()},
                                       std::pair{info.dwProcessId, non_admin.Get()}}) {
        const CallResult r = Call("get_proc_priv_attr", Priv(pid));
        EXPECT_EQ(r.result, 0) << pid;
        EXPECT_TRUE(r.log.empty()) << pid;
        EXPECT_EQ(Written(r), PrivilegeVars(process)) << pid;
    }
    TerminateProcess(non_admin.Get(), 1);
}

TEST_F(ProcPrivAttr, ClosesEveryHandleItOpens) {
    SubjectProcess subject({});
    Call("get_proc_priv_attr", Priv(subject.Pid()));  // whatever the system caches on first use
    Call("get_acc_attr_by_pid", AccountArgs(Arg::Int("pid", subject.Pid())));
    const std::size_t before = OwnHandleCount();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(Call("get_proc_priv_attr", Priv(subject.Pid())).result, 0);
        EXPECT_EQ(Call("get_acc_attr_by_pid", AccountArgs(Arg::Int("pid", subject.Pid()))).result, 0);
    }
    EXPECT_EQ(OwnHandleCount(), before);
}

}  // namespace
}  // namespace OrvikTest
