// Engine switches, monitoring, process whitelisting, account queries and the
// sampling test through the module.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using ::testing::ElementsAre;
using PolicySwitches = ModuleTest;

TEST_F(PolicySwitches, EngineQueriesPassTheLow32BitsAndReturnTheHostAnswerUnchanged) {
    const std::pair<const char*, const char*> cases[] = {
        {"is_engine_enabled", "IsEngineEnabled"},
        {"is_process_termination_enabled", "IsProcessTerminationEnabled"},
        {"get_current_action_on_detection", "GetCurrentActionOnDetection"}};
    {
        auto lock = Host().Lock();
        Host().State().engine_enabled[5] = 0;
        Host().State().termination_enabled[5] = 0;
        Host().State().action_on_detection[5] = 3;
    }
    const std::int64_t expected_for_5[] = {0, 0, 3};
    for (int i = 0; i < 3; ++i) {
        const auto& [function, operation] = cases[i];
        const CallResult r = Call(function, {Arg::Int("engine_id", 0x100000005)});
        EXPECT_EQ(r.result, expected_for_5[i]) << function;
        EXPECT_TRUE(r.log.empty());
        EXPECT_EQ(Host().Journal().Last(operation)->args, Strings{"5"}) << function;
        EXPECT_EQ(Call(function, {Arg::Int("engine_id", 6)}).result, 1) << function;
        // Negative statuses come back sign-extended, as 64-bit values.
        Host().ForceResult(operation, -7);
        EXPECT_EQ(Call(function, {Arg::Int("engine_id", 6)}).result, -7) << function;
    }

    // Any non-zero monitoring switch is true.
    EXPECT_EQ(Call("set_process_monitored_status", {Arg::Int("puid", 77), Arg::Int("enabled", 7)}).result, 0);
    EXPECT_EQ(Host().Journal().Last("SetProcessMonitoredStatus")->args, (Strings{"77", "true"}));
    EXPECT_EQ(Call("set_process_monitored_status", {Arg::Int("enabled", 0), Arg::Int("puid", 78)}).result, 0);
    EXPECT_EQ(Host().Journal().Last("SetProcessMonitoredStatus")->args, (Strings{"78", "false"}));
}

TEST_F(PolicySwitches, WhitelistingTakesTheTriggeringPidResolvesAnyOtherAndAlwaysNotifiesSuppressionNever) {
    auto call = NewCall();
    call->process_uid = 42;
    call->process_id = 777;
    call->resolve_process[43] = {0, 888};
    EXPECT_EQ(Call("whitelist_process", {Arg::Int("puid", 42)}, *call).result, 0);
    EXPECT_EQ(Host().Journal().Last("WhitelistProcess")->args, (Strings{"42", "777"}));
    EXPECT_THAT(call->operations, ElementsAre("GetProcessUid", "GetProcessId"));
    EXPECT_EQ(Call("whitelist_process", {Arg::Int("puid", 43)}, *call).result, 0);
    EXPECT_EQ(Host().Journal().Last("WhitelistProcess")->args, (Strings{"43", "888"}));
    EXPECT_EQ(call->whitelisted_notifications, (std::vector<std::uint64_t>{42, 43}));

    // The triggering process without a pid is resolved like any other; a failed resolution ends it.
    auto no_pid = NewCall();
    no_pid->process_uid = 44;
    no_pid->resolve_process[44] = {0, 999};
    no_pid->resolve_process[50] = {31, 0};
    EXPECT_EQ(Call("whitelist_process", {Arg::Int("puid", 44)}, *no_pid).result, 0);
    EXPECT_EQ(Host().Journal().Last("WhitelistProcess")->args, (Strings{"44", "999"}));
    EXPECT_EQ(Call("whitelist_process", {Arg::Int("puid", 50)}, *no_pid).result, 31);
    EXPECT_EQ(Host().Journal().Count("WhitelistProcess"), 3u);
    EXPECT_EQ(no_pid->whitelisted_notifications, std::vector<std::uint64_t>{44});
    EXPECT_TRUE(call->log.empty() && no_pid->log.empty());

    // The notice goes out whatever the host answered, and the answer is kept.
    Host().ForceResult("WhitelistProcess", 5);
    EXPECT_EQ(Call("whitelist_process", {Arg::Int("puid", 42)}, *call).result, 5);
    EXPECT_EQ(call->whitelisted_notifications, (std::vector<std::uint64_t>{42, 43, 42}));
    // A host without the notice loses the notice, not the whitelisting's result.
    call->Record()->OnProcessWhitelisted = nullptr;
    const CallResult r = Call("whitelist_process", {Arg::Int("puid", 42)}, *call);
    EXPECT_EQ(r.result, 5);
    EXPECT_THAT(LogLines(r.log), ElementsAre("1:whitelist_process: rules engine not notified: host operation "
                                             "'OnProcessWhitelisted' is not available"));

    // Suppression resolves even the triggering process, and notifies nobody.
    auto suppressing = NewCall();
    suppressing->process_uid = 42;
    suppressing->process_id = 777;
    suppressing->resolve_suppression[42] = {0, 999};
    suppressing->resolve_suppression[43] = {3, 0};
    EXPECT_EQ(Call("suppress_process", {Arg::Int("puid", 42)}, *suppressing).result, 5);
    EXPECT_EQ(Host().Journal().Last("WhitelistProcess")->args, (Strings{"42", "999"}));
    EXPECT_EQ(Call("suppress_process", {Arg::Int("puid", 43)}, *suppressing).result, 3);
    EXPECT_THAT(suppressing->operations, ElementsAre("ResolveProcessForSuppression", "ResolveProcessForSuppression"));
    EXPECT_TRUE(suppressing->whitelisted_notifications.empty());
    EXPECT_EQ(Host().Journal().Count("WhitelistProcess"), 6u);
}

TEST_F(PolicySwitches, AccountQueriesWriteWhatTheHostSuppliesAndLeaveTheRestAlone) {
    const auto all_outputs = [](std::int64_t uid) {
        return std::vector<Arg>{Arg::Int("uid", uid), Arg::OutStr("name", 1), Arg::OutStr("sid", 2),
                                Arg::OutStr("uuid", 3), Arg::OutInt("attributes", 4)};
    };
    CallResult r = Call("get_unix_user_info", all_outputs(0));
    EXPECT_TRUE(r.result == 0 && r.log.empty());
    EXPECT_EQ(Written(r), (Vars{{1, "s:root"}, {2, "s:S-1-22-1-0"}, {3, "s:00112233-4455-6677-8899-AABBCCDDEEFF"},
                                {4, "i:0"}}));
    EXPECT_EQ(Host().Journal().Last("GetUnixAccountInfo")->args, (Strings{"0", "0", "(ptr)"}));

    // Groups share the arguments; the low 32 bits name the group.
    r = Call("get_unix_group_info", all_outputs(100 + (1ll << 32)));
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(Written(r), (Vars{{1, "s:users"}, {2, "s:S-1-22-2-100"}, {4, "i:2"}})) << "no uuid: variable untouched";
    EXPECT_EQ(Host().Journal().Last("GetUnixAccountInfo")->args, (Strings{"100", "1", "(ptr)"}));

    EXPECT_EQ(Call("get_unix_group_info", {Arg::Int("uid", 12345)}).result, RefHost::kHostNotFound);
    Host().ForceResult("GetUnixAccountInfo", 87);
    r = Call("get_unix_user_info", all_outputs(0));
    EXPECT_EQ(r.result, 87);
    EXPECT_TRUE(r.variables.empty());
}

TEST_F(PolicySwitches, ProbabilityCheckPassesAboutOnceInRangeCallsAndAlwaysBelowTwo) {
    constexpr int kCalls = 4000;
    int range4 = 0, huge = 0, below2 = 0;
    for (int i = 0; i < kCalls; ++i) {
        range4 += static_cast<int>(Call("probability_check", {Arg::Int("range", 4)}).result);
        // -1 is the largest unsigned range: practically never true.
        huge += static_cast<int>(Call("probability_check", {Arg::Int("range", -1)}).result);
        below2 += static_cast<int>(Call("probability_check", {Arg::Int("range", i % 2)}).result);
    }
    EXPECT_NEAR(range4, kCalls / 4, 170);  // a binomial bound at more than six standard deviations
    EXPECT_EQ(huge, 0);
    EXPECT_EQ(below2, kCalls);
}

}  // namespace
}  // namespace OrvikTest
