// Engine switches, monitoring and process whitelisting through the module.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using ::testing::ElementsAre;

class PolicySwitches : public ModuleTest {};

TEST_F(PolicySwitches, EngineQueriesPassTheLow32BitsAndReturnTheHostAnswerUnchanged) {
    struct Case {
        const char* function;
        const char* operation;
    } cases[] = {{"is_engine_enabled", "IsEngineEnabled"},
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
        const Case& c = cases[i];
        CallResult r = Call(c.function, {Arg::Int("engine_id", 0x100000005)});
        EXPECT_EQ(r.result, expected_for_5[i]) << c.function;
        EXPECT_EQ(Host().Journal().Last(c.operation)->args, Strings{"5"}) << c.function;
        EXPECT_EQ(Call(c.function, {Arg::Int("engine_id", 6)}).result, 1) << c.function;

        // Negative statuses come back sign-extended, as 64-bit values.
        Host().ForceResult(c.operation, -7);
        EXPECT_EQ(Call(c.function, {Arg::Int("engine_id", 6)}).result, -7) << c.function;
        EXPECT_TRUE(r.log.empty());
    }
}

TEST_F(PolicySwitches, MonitoredStatusPassesAnyNonZeroAsTrue) {
    EXPECT_EQ(Call("set_process_monitored_status", {Arg::Int("puid", 77), Arg::Int("enabled", 7)}).result, 0);
    EXPECT_EQ(Host().Journal().Last("SetProcessMonitoredStatus")->args, (Strings{"77", "true"}));
    EXPECT_EQ(Call("set_process_monitored_status", {Arg::Int("enabled", 0), Arg::Int("puid", 78)}).result, 0);
    EXPECT_EQ(Host().Journal().Last("SetProcessMonitoredStatus")->args, (Strings{"78", "false"}));
    auto lock = Host().Lock();
    EXPECT_EQ(Host().State().monitored, (std::map<std::uint64_t, bool>{{77, true}, {78, false}}));
}

TEST_F(PolicySwitches, WhitelistingTakesTheTriggeringPidResolvesAnyOtherAndAlwaysNotifies) {
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
    EXPECT_EQ(Host().Journal().Count("WhitelistProcess"), 5u);
}

TEST_F(PolicySwitches, SuppressionAlwaysResolvesAndNeverNotifies) {
    auto call = NewCall();
    call->process_uid = 42;
    call->process_id = 777;
    call->resolve_suppression[42] = {0, 999};
    EXPECT_EQ(Call("suppress_process", {Arg::Int("puid", 42)}, *call).result, 0);
    EXPECT_EQ(Host().Journal().Last("WhitelistProcess")->args, (Strings{"42", "999"}));
    EXPECT_THAT(call->operations, ElementsAre("ResolveProcessForSuppression"));
    EXPECT_TRUE(call->whitelisted_notifications.empty());

    auto failing = NewCall();
    failing->resolve_suppression[43] = {3, 0};
    EXPECT_EQ(Call("suppress_process", {Arg::Int("puid", 43)}, *failing).result, 3);
    EXPECT_EQ(Host().Journal().Count("WhitelistProcess"), 1u);
}

}  // namespace
}  // namespace OrvikTest
