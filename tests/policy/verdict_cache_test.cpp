// The verdict cache and scan statistics through the module.
#include <gtest/gtest.h>

#include "support/call_args.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

constexpr const char* kPath = "C:\\Temp\\Sample.EXE";

std::vector<Arg> GetArgs(std::int64_t id) {
    return {Arg::Str("path", kPath), Arg::Int("id", id), Arg::OutInt("value", 1), Arg::Int("current_scan_depth", 0),
            Arg::OutInt("ttl", 2), Arg::OutInt("scan_depth", 3)};
}
std::vector<Arg> SetArgs(std::int64_t id) {
    return {Arg::Str("path", kPath), Arg::Int("id", id), Arg::Int("value", 1), Arg::Int("scan_depth", 1),
            Arg::Int("ttl", 1)};
}
std::vector<Arg> StatisticsArgs(std::int64_t id) {
    return {Arg::Str("path", kPath), Arg::Int("id", id), Arg::OutInt("scan_count", 1),
            Arg::OutInt("last_scan_time", 2)};
}

using VerdictCache = ModuleTest;

TEST_F(VerdictCache, SetPacksTheLow8And32BitsAndGetsSignExtendTheVerdict) {
    const std::vector<Arg> changes{Arg::Str("unique_file_id", "U-1"), Arg::Int("value", 200),
                                   Arg::Int("ttl", 0x1FFFFFFFF), Arg::Int("scan_depth", 0x1C8)};
    CallResult r = Call("set_avc_verdict", WithArgs(SetArgs(257), changes));
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(HostArgs(Host(), "SetVerdict"),
              (Strings{"(ptr)", kPath, "U-1", "{ttl=4294967295, id=1, value=-56, scan_depth=200, reserved=0}"}));
    {
        auto lock = Host().Lock();
        Host().State().scan_statistics[{kPath, "", 1}] = {0x123456789ABCDEF0ull, 0xFFFFFFFFu, 0};
    }
    const std::vector<Arg> get_changes{Arg::Str("unique_file_id", "U-1"), Arg::Int("current_scan_depth", 0x103)};
    r = Call("get_avc_verdict", WithArgs(GetArgs(257), get_changes));
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(HostArgs(Host(), "GetVerdict"), (Strings{"(ptr)", kPath, "U-1", "1", "3", "(ptr)"}));
    EXPECT_EQ(Written(r), (Vars{{1, "i:18446744073709551560"}, {2, "i:4294967295"}, {3, "i:200"}}));  // -56
    r = Call("get_avc_scan_statistics", StatisticsArgs(1));
    EXPECT_EQ(std::pair(r.result, Written(r)),
              std::pair(0ll, Vars{{1, "i:4294967295"}, {2, "i:1311768467463790320"}}));  // 0x123456789ABCDEF0
}

const struct {
    const char *function, *operation;
    std::vector<Arg> args;
    Strings host_args;  // after the token
} kCalls[] = {
    {"get_avc_verdict", "GetVerdict", GetArgs(0x109), {kPath, "", "9", "0", "(ptr)"}},
    {"set_avc_verdict", "SetVerdict", SetArgs(0x109), {kPath, "", "{ttl=1, id=9, value=1, scan_depth=1, reserved=0}"}},
    {"get_avc_scan_statistics", "GetScanStatistics", StatisticsArgs(0x109), {kPath, "", "9", "(ptr)"}},
    {"reset_avc_scan_statistics", "ResetScanStatistics", {Arg::Str("path", kPath), Arg::Int("id", 0x109)},
     {kPath, "", "9"}},
};

TEST_F(VerdictCache, EveryCallPassesAnEmptyUniqueIdAndTheTokenOfAProcessThatHasOneAndHostFailuresComeBack) {
    const struct {
        RefHost::ProcessInfoMode mode;
        const char* token;
    } processes[] = {{RefHost::ProcessInfoMode::WithToken, "(ptr)"},
                     {RefHost::ProcessInfoMode::WithoutToken, "(null)"},
                     {RefHost::ProcessInfoMode::None, "(null)"}};
    EXPECT_EQ(Call("get_avc_verdict", GetArgs(9)).result, RefHost::kHostNotFound);
    for (const auto& c : kCalls) {
        for (const auto& p : processes) {
            auto call = NewCall();
            call->process_info = p.mode;
            EXPECT_TRUE(Call(c.function, c.args, *call).log.empty()) << c.function;
            Strings expected = c.host_args;
            expected.insert(expected.begin(), p.token);
            EXPECT_EQ(HostArgs(Host(), c.operation), expected) << c.function << " " << p.token;
            EXPECT_EQ(Host().Objects().Live(), 0) << c.function << ": the token outlived the call";
        }
        // Host statuses come back unchanged; nothing is written or logged.
        for (const std::int64_t status : {5, -3}) {
            Host().ForceResult(c.operation, status);
            const CallResult r = Call(c.function, c.args);
            EXPECT_EQ(r.result, status) << c.function;
            EXPECT_TRUE(r.variables.empty() && r.log.empty()) << c.function;
        }
    }
    // A host that reports success without filling the record: zeros, never
    // what the stack held.
    Host().ForceResult("GetScanStatistics", 0);
    EXPECT_EQ(Written(Call("get_avc_scan_statistics", StatisticsArgs(1))), (Vars{{1, "i:0"}, {2, "i:0"}}));
}

}  // namespace
}  // namespace OrvikTest
