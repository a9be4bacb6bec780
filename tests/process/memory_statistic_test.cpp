// memory_scan_ml_get_statistic on real subject processes, and memory_scan_itdt
// through the host.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "support/call_args.h"
#include "support/module_fixture.h"
#include "support/strict_json.h"
#include "support/subject_process.h"

namespace OrvikTest {
namespace {

std::string Form(const char* format, std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, format, static_cast<unsigned long long>(value));
    return text;
}
std::string Pointer(std::uint64_t value) { return Form("%016llX", value); }

// The first item of `array` with all of `wanted`'s values.
const Json::Value* Find(const Json::Value& array, const std::map<std::string, std::string>& wanted) {
    for (const Json::Value& item : array) {
        bool all = true;
        for (const auto& [name, value] : wanted) all = all && item[name].asString() == value;
        if (all) return &item;
    }
    return nullptr;
}

class MemoryStatistic : public ModuleTest {
protected:
    std::string Text(std::uint64_t pid) {
        auto call = NewCall();
        call->process_id = pid;
        const CallResult r = Call("memory_scan_ml_get_statistic", {Arg::OutStr("statistic", 1)}, *call);
        EXPECT_TRUE(r.result == 0 && r.log.empty()) << r.result;
        return r.variables.count(1) ? r.variables.at(1).text : "";
    }
};

TEST_F(MemoryStatistic, DescribesModulesSectionsPrivateMemoryThreadsAndSocketsOfTheCallersProcess) {
    SubjectProcess subject({"rwx-spin", "rwx-callout", "listen"});
    const std::string text = Text(subject.Pid() | 1ull << 32);  // the low 32 bits name the process
    const Json::Value s = StrictJson(text);
    const Json::Value* exe = Find(s["mods"], {{"name", "orvik_subject.exe"}});
    ASSERT_NE(exe, nullptr) << text;
    const Json::Value* code = Find((*exe)["sections"], {{"name", ".text"}, {"base", Pointer(0x1000)}, {"cprot", "20"}});
    ASSERT_NE(code, nullptr) << text;
    EXPECT_NE(std::stoul((*code)["oprot"].asString(), nullptr, 16) & IMAGE_SCN_MEM_EXECUTE, 0u);

    const std::uint64_t spin = subject.Address("rwx_spin_address");
    EXPECT_NE(Find(s["vmem"], {{"base", Pointer(spin)}, {"abase", Pointer(spin)}, {"aprot", "40"}, {"size", "1000"},
                               {"state", "1000"}, {"prot", "40"}}),
              nullptr);
    EXPECT_NE(Find(s["threads"], {{"entrypoint", Pointer(spin)}}), nullptr);
    EXPECT_NE(Find(s["threads"], {{"entrypoint", Pointer(subject.Address("rwx_callout_address"))}}), nullptr);

    const std::string port = Form("%llx", subject.Number("listen_port"));
    EXPECT_NE(Find(s["inet"], {{"state", "2"}, {"laddr", "100007f"}, {"lport", port}, {"raddr", "0"}, {"rport", "0"}}),
              nullptr);
    EXPECT_NE(Find(s["inet"], {{"state", "5"}, {"raddr", "100007f"}, {"rport", port}}), nullptr);

    // A missing process gives empty arrays, no caller's pid a failure.
    EXPECT_EQ(Text(0xFFFFFFF0), R"({"mods":[],"vmem":[],"threads":[],"inet":[]})");
    const CallResult r = Call("memory_scan_ml_get_statistic", {Arg::OutStr("statistic", 1)});
    EXPECT_EQ(std::pair(r.result, LogLines(r.log)),
              std::pair(-1ll, Strings{"0:MemoryScanMlGetStatistic could not get PID"}));
    EXPECT_TRUE(r.variables.empty());
}

TEST_F(MemoryStatistic, ItdtPassesTheLow32BitsAndOnlyTheNamesItsModeReadsAndNeedsTheCallersIds) {
    const std::vector<Arg> names{Arg::Str("module_name", "ntdll.dll"), Arg::Str("section_name", ".text")};
    const struct {
        std::int64_t mode;
        std::vector<Arg> names;
        std::uint64_t uid, pid;
        Strings host_args;  // unique key, uid, pid, mode, module, section; or the log line
    } cases[] = {{0, names, 0x123456789A, 0x100000007, {"5", "78187493530", "7", "0", "ntdll.dll", ""}},
                 {1 + (1ll << 32), names, 0x123456789A, 7, {"5", "78187493530", "7", "1", "ntdll.dll", ".text"}},
                 {2, names, 1, 7, {"5", "1", "7", "2", "", ""}},
                 {0, {}, 0, 0, {"0:MemoryScanItdt could not get UID"}},
                 {0, {}, 1, 0, {"0:MemoryScanItdt could not get PID"}}};
    for (const auto& c : cases) {
        auto call = NewCall();
        if (c.uid != 0) call->process_uid = c.uid;
        if (c.pid != 0) call->process_id = c.pid;
        Host().Journal().Clear();
        const std::vector<Arg> args{Arg::Int("unique_key", 0x500000005), Arg::Int("scan_mode", c.mode)};
        const CallResult r = Call("memory_scan_itdt", WithArgs(args, c.names), *call);
        const bool asked = c.host_args.size() > 1;
        EXPECT_EQ(r.result, asked ? 0 : -1) << c.mode;
        EXPECT_EQ(asked ? HostArgs(Host(), "MemoryScanItdt") : LogLines(r.log), c.host_args) << c.mode;
        EXPECT_TRUE(asked ? r.log.empty() : Host().Journal().All().empty()) << c.mode;
    }
}

}  // namespace
}  // namespace OrvikTest
