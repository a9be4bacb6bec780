// get_process_info through the module: selection, outputs, image names,
// caller tags and malformed or hostile cache answers.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <memory>
#include <thread>
#include <utility>

#include "guarded_page.h"
#include "host/process_record_writer.h"
#include "common/utf.h"
#include "support/module_fixture.h"
#include "support/subject_process.h"

namespace OrvikTest {
namespace {

using Tags = std::vector<std::pair<std::string, std::string>>;
namespace Field = RefHost::ProcessField;
namespace Abi = ScanEngine::Abi;

constexpr const char* kFunction = "get_process_info";
constexpr std::uint64_t kUid = 0x1122334455667788ull;
const std::string kUidText = std::to_string(kUid), kAt = "called by scan-engine-rules at ";
const std::string kNt = "\\Device\\HarddiskVolume3\\Windows\\n\xC3\xB6tepad.exe";
const std::string kUserSid("\1\5\0\0\0\0\0\5\x15\0\0\0\1\0\0\0\2\0\0\0\3\0\0\0\xE8\3\0\0", 28);  // S-1-5-21-1-2-3-1000

// Selection by `uid` and all sixteen outputs, refs 101 to 116 in argument order.
std::vector<Arg> AllOutputs(std::uint64_t uid = kUid) {
    return {Arg::Int("query_puid", static_cast<std::int64_t>(uid)), Arg::OutInt("process_pid", 101),
            Arg::OutInt("process_uid", 102), Arg::OutInt("parent_pid", 103), Arg::OutInt("parent_process_uid", 104),
            Arg::OutStr("image_filename_nt", 105), Arg::OutStr("image_filename", 106), Arg::OutStr("cmdline", 107),
            Arg::OutInt("noimage", 108), Arg::OutInt("terminated", 109), Arg::OutInt("start_timestamp", 110),
            Arg::OutStr("process_user_sid", 111), Arg::OutInt("is_admin", 112), Arg::OutInt("integrity_level", 113),
            Arg::OutInt("exit_timestamp", 114), Arg::OutStr("process_privileges", 115), Arg::OutStr("cwd", 116)};
}

class ProcessInfo : public ModuleTest {
protected:
    // Privileges 20 and 23 have names; 999, and 19 with a high part, have none.
    RefHost::HostProcess Sample() {
        return {.pid = 4321, .uid = kUid, .parent_pid = 1234, .parent_uid = 0x8000000000000001ull,
                .image_nt = u"\\Device\\HarddiskVolume3\\Windows\\n\u00F6tepad.exe",
                .command_line = u"notepad.exe \"C:\\a b.txt\"", .cwd = u"C:\\Users\\\u20AC", .terminated = true,
                .start_time = 133000000000000000ull, .exit_time = 133000000100000000ull, .user_sid = kUserSid,
                .is_admin = true, .integrity_level = 0x3000,
                .privileges = {{{20, 0, 3}, {999, 0, 1}, {19, 1, 2}, {23, 0, 2}}}, .extra_entries = {}};
    }
    template <class F>
    auto WithState(F f) {
        auto lock = Host().Lock();
        return f(Host().State());
    }
};

TEST_F(ProcessInfo, SelectionRulesComeFirstAndInTheirOrder) {
    const std::string both = "arguments 'query_pid' and 'query_puid' are mutually exclusive",
                      required = "argument 'query_pid' or 'query_puid' is required";
    const std::pair<std::vector<Arg>, std::string> rejected[] = {
        {{Arg::Int("query_pid", 5), Arg::Int("query_puid", 0)}, both},
        {{Arg::Int("query_pid", 0)}, "argument 'query_pid' cannot be zero"},
        {{Arg::Undefined("query_pid"), Arg::OutInt("process_pid", 1)}, required},
        {{Arg::OutStr("process_pid", 1)}, required},  // judged before any output is bound
        {{Arg::Int("query_puid", 0)}, "argument 'query_puid' cannot be zero"},
    };
    for (const auto& [args, text] : rejected) {
        const CallResult r = Call(kFunction, args);
        EXPECT_EQ(std::pair(r.result, LogLines(r.log)), std::pair(-1ll, Strings{MalformedLine(kFunction, text)}));
        EXPECT_TRUE(r.variables.empty()) << text;
    }
    EXPECT_EQ(Host().Journal().Count("QueryProcessCacheByUid") + Host().Journal().Count("QueryProcessCacheByPid"), 0u);
}

TEST_F(ProcessInfo, DeliversAllSixteenOutputsInFieldOrderAndTellsTheHostWhoAsked) {
    Host().AddProcess(Sample());
    WithState([](auto& s) {
        s.nt_to_dos[L"\\Device\\HarddiskVolume3\\Windows\\n\u00F6tepad.exe"] = L"C:\\Windows\\n\u00F6tepad.exe";
    });
    const CallResult r = Call(kFunction, AllOutputs());
    const Vars all = Written(r);
    EXPECT_TRUE(r.result == 0 && r.log.empty());
    EXPECT_EQ(Host().Journal().Last("QueryProcessCacheByUid")->args, (Strings{"(ptr)", kUidText, "(ptr)"}));
    EXPECT_EQ(Host().Journal().Count("QueryProcessCacheByPid"), 0u);
    EXPECT_EQ(Host().Journal().Last("ConvertNtPathToDosPath")->args, (Strings{kNt, "(ptr)", "32768"}));
    EXPECT_EQ(all, (Vars{{101, "i:4321"}, {102, "i:" + kUidText}, {103, "i:1234"}, {104, "i:9223372036854775809"},
                         {105, "s:" + kNt}, {106, "s:C:\\Windows\\n\xC3\xB6tepad.exe"},
                         {107, "s:notepad.exe \"C:\\a b.txt\""}, {108, "i:0"}, {109, "i:1"},
                         {110, "i:133000000000000000"}, {111, "s:S-1-5-21-1-2-3-1000"}, {112, "i:1"}, {113, "i:12288"},
                         {114, "i:133000000100000000"}, {115, "s:SeDebugPrivilege=3,SeChangeNotifyPrivilege=2"},
                         {116, "s:C:\\Users\\\xE2\x82\xAC"}}));
}

TEST_F(ProcessInfo, ImageNamesWithoutImageUnconvertedAndAFailedConversionFailsTheCallLast) {
    RefHost::HostProcess p = Sample();
    p.no_image = true, p.image_nt = u"Memory Compression";
    Host().AddProcess(p);
    auto call = NewCall();
    call->variables[105] = {RefHost::Variable::Kind::String, 0, "previous"};
    CallResult r = Call(kFunction, AllOutputs(), *call);
    Vars v = Written(r);
    EXPECT_TRUE(r.result == 0 && v.size() == 16) << r.result << " " << v.size();
    EXPECT_EQ(Strings({v[105], v[106], v[108]}), Strings({"s:previous", "s:Memory Compression", "i:1"}));
    EXPECT_EQ(Host().Journal().Count("ConvertNtPathToDosPath"), 0u);

    // A failed conversion, or a success without a usable size, fails the call after every other output.
    Host().AddProcess(Sample());
    static std::pair<std::int32_t, std::uint32_t> answer;
    engine_.ServiceInterface()->ConvertNtPathToDosPath = [](Abi::ServiceInterface*, const wchar_t*, wchar_t* out,
                                                            std::uint32_t* size) {
        out[0] = L'X';
        *size = answer.second;
        return answer.first;
    };
    const std::pair<std::int32_t, std::uint32_t> answers[] = {{5, 2}, {0, 0}, {0, 32769}, {0, 0xFFFFFFFF}, {0, 2}};
    for (const auto& a : answers) {
        answer = a;
        r = Call(kFunction, AllOutputs());
        v = Written(r);
        const bool usable = &a == &answers[4];
        EXPECT_TRUE(r.result == (usable ? 0 : -1) && r.log.empty()) << a.first << "/" << a.second;
        EXPECT_EQ(v.size(), usable ? 16u : 15u);
        EXPECT_EQ(v[106], usable ? "s:X" : "");
    }
}

TEST_F(ProcessInfo, CallerTagsNameTheFunctionAndCallSiteAndMayOutliveTheCall) {
    Host().AddProcess(Sample());
    WithState([](auto& s) { s.keep_caller_tags = true; });
    {
        auto known = NewCall(), blank = NewCall(), unknown = NewCall();
        known->site = {1, "detect.rules", "rule_42", "condition", 17};
        blank->site = {0xFF, nullptr, nullptr, nullptr, 0};
        unknown->site = {0x02, "detect.rules", "rule_42", "condition", 17};
        unknown->function_name = "get_process_info_v2";  // as the call context reports it
        // An undefined value counts as absent; a pid is its low 32 bits; no outputs, still a query.
        for (auto* call : {known.get(), blank.get(), unknown.get()}) {
            const CallResult r =
                Call(kFunction, {Arg::Undefined("query_puid"), Arg::Int("query_pid", (1ll << 32) + 4321)}, *call);
            EXPECT_TRUE(r.result == 0 && r.log.empty() && r.variables.empty());
        }
    }
    EXPECT_EQ(Host().Journal().Last("QueryProcessCacheByPid")->args, (Strings{"(ptr)", "4321", "(ptr)"}));
    const Tags expected = {{"ORVIK/get_process_info", kAt + "[rule_42:detect.rules:condition:17]"},
                           {"ORVIK/get_process_info", kAt + "[-:-:-:0]"},
                           {"ORVIK/get_process_info_v2", kAt + "?"}};
    EXPECT_EQ(WithState([](auto& s) { return s.caller_tags; }), expected);

    // The calls are gone; the tags stay until the host's last release, from any thread.
    const auto kept = WithState([](auto& s) { return std::exchange(s.kept_caller_tags, {}); });
    ASSERT_EQ(kept.size(), 3u);
    kept[0]->AddRef(kept[0]);
    std::thread([view = kept[0]] { view->Release(view); }).join();
    for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(Tags::value_type(kept[i]->tag, kept[i]->description), expected[i]);
        kept[i]->Release(kept[i]);
    }
}

TEST_F(ProcessInfo, AnswersAreReadOnlyUpToTheirSizeAndOnlyOnSuccess) {
    // The test's own cache answer, its bytes ending right before a no-access page.
    static struct {
        Abi::SizedBuffer abi{};
        const std::uint8_t* data = nullptr;
        std::uint64_t size = 0;
        std::int32_t status = 0;
        int releases = 0;
    } answer;
    answer = {{nullptr, nullptr, [](Abi::SizedBuffer*) { ++answer.releases; },
               [](Abi::SizedBuffer*) { return answer.data; }, [](Abi::SizedBuffer*) { return answer.size; }}};
    engine_.ServiceInterface()->QueryProcessCacheByUid = [](Abi::ServiceInterface*, Abi::CallerInfoProvider*,
                                                            std::uint64_t, Abi::SizedBuffer** out) {
        *out = &answer.abi;
        return answer.status;
    };
    GuardedPage page;
    RefHost::ProcessRecordWriter w;
    w.UInt32(Field::kPid, 9).Utf16(Field::kCwd, u"C:\\dir").Text(Field::kCommandLine, "run.exe");
    const std::string record = w.Bytes();
    const std::vector<Arg> args = {Arg::Int("query_puid", 3), Arg::OutInt("process_pid", 1), Arg::OutStr("cwd", 2),
                                   Arg::OutStr("cmdline", 3)};
    const std::size_t pid_end = 8 + 11, cwd_end = pid_end + 11 + 12;
    ASSERT_EQ(record.size(), cwd_end + 11 + 7);
    for (std::size_t n = 0; n <= record.size(); ++n) {
        answer.data = page.PlaceAtEnd(record.substr(0, n));
        answer.size = n;
        const CallResult r = Call(kFunction, args);
        Vars expected;
        if (n >= pid_end) expected[1] = "i:9";
        if (n >= cwd_end) expected[2] = "s:C:\\dir";
        if (n == record.size()) expected[3] = "s:run.exe";
        EXPECT_EQ(std::pair(r.result, Written(r)), std::pair(0ll, expected)) << n;
    }
    // A failed query that hands back a buffer: released, never read.
    answer.status = 7;
    CallResult r = Call(kFunction, args);
    EXPECT_TRUE(r.result == 7 && r.variables.empty()) << r.result;
    EXPECT_EQ(answer.releases, static_cast<int>(record.size()) + 2);
}

// The test's own token user as text, read with the system's SID formatting.
std::string OwnUserSid() {
    Common::UniqueHandle token;
    alignas(8) char user[256];
    DWORD size = 0;
    char* text = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put()) ||
        !GetTokenInformation(token.Get(), TokenUser, user, sizeof user, &size) ||
        !ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &text))
        return "none";
    return std::unique_ptr<char, HLOCAL (*)(HLOCAL)>(text, &LocalFree).get();
}

TEST_F(ProcessInfo, LiveSwitchAnswersFromRunningProcessesButTheHostStateWins) {
    FILETIME before, now;
    GetSystemTimeAsFileTime(&before);
    SubjectProcess subject({});
    const std::int64_t pid = subject.Pid();
    const std::vector<Arg> args = {Arg::Int("query_pid", pid), Arg::OutStr("image_filename_nt", 1),
                                   Arg::OutStr("cmdline", 2), Arg::OutInt("parent_pid", 3),
                                   Arg::OutStr("process_user_sid", 4), Arg::OutStr("cwd", 5),
                                   Arg::OutInt("terminated", 6), Arg::OutInt("start_timestamp", 7),
                                   Arg::OutInt("exit_timestamp", 8), Arg::OutStr("process_privileges", 9),
                                   Arg::OutInt("is_admin", 10), Arg::OutInt("integrity_level", 11)};
    CallResult r = Call(kFunction, args);
    EXPECT_TRUE(r.result == 2 && r.variables.empty()) << r.result;
    Host().SetLive(true);
    Vars v = Written(Call(kFunction, args));
    GetSystemTimeAsFileTime(&now);
    wchar_t cwd[MAX_PATH] = {};
    const std::wstring exe = SubjectProcess::ExecutablePath();
    const std::size_t cwd_length = GetCurrentDirectoryW(MAX_PATH, cwd);
    EXPECT_TRUE(v[1].starts_with("s:\\Device\\") && v[1].ends_with("\\orvik_subject.exe")) << v[1];
    // Every token holds the change-notify privilege; a process started normally runs at medium level or above.
    BOOL admin = FALSE;
    alignas(8) char administrators[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof administrators;
    CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &sid_size);
    CheckTokenMembership(nullptr, administrators, &admin);
    EXPECT_TRUE(v[9].find("SeChangeNotifyPrivilege") != std::string::npos && std::stoll(v[11].substr(2)) >= 0x2000 &&
                v[10] == "i:" + std::to_string(admin != FALSE)) << v[9] << v[10] << v[11];
    EXPECT_EQ(Strings({v[2], v[3], v[4], v[5], v[6]}),
              Strings({"s:\"" + Common::WideToUtf8(exe.c_str(), exe.size()) + "\"",
                       "i:" + std::to_string(GetCurrentProcessId()), "s:" + OwnUserSid(),
                       "s:" + Common::WideToUtf8(cwd, cwd_length), "i:0"}));
    const auto ticks = [](FILETIME t) { return (LONGLONG{t.dwHighDateTime} << 32) | t.dwLowDateTime; };
    const long long start = std::stoll(v[7].substr(2));  // 1 s of leeway for the clocks' granularity
    EXPECT_TRUE(start > ticks(before) - 10000000 && start <= ticks(now) && !v.count(8)) << start;

    // By uid (the pid for a live process), after it has ended; then a host-state entry for the pid.
    ASSERT_TRUE(TerminateProcess(subject.Handle(), 3) && WaitForSingleObject(subject.Handle(), 10000) == 0);
    v = Written(Call(kFunction, {Arg::Int("query_puid", pid), Arg::OutInt("process_pid", 1),
                                 Arg::OutInt("terminated", 2), Arg::OutInt("exit_timestamp", 3)}));
    EXPECT_TRUE(v[1] == "i:" + std::to_string(pid) && v[2] == "i:1" && std::stoll(v[3].substr(2)) >= start) << v[3];
    RefHost::HostProcess held;
    held.pid = subject.Pid(), held.command_line = u"held";
    Host().AddProcess(held);
    EXPECT_EQ(Written(Call(kFunction, args)),
              (Vars{{2, "s:held"}, {3, "i:0"}, {6, "i:0"}, {7, "i:0"}, {10, "i:0"}, {11, "i:0"}}));
}

}  // namespace
}  // namespace OrvikTest
