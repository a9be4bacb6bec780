// Account queries for numeric user and group ids.
#include <gtest/gtest.h>

#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using UnixAccounts = ModuleTest;

std::vector<Arg> AllOutputs(std::int64_t uid) {
    return {Arg::Int("uid", uid), Arg::OutStr("name", 1), Arg::OutStr("sid", 2), Arg::OutStr("uuid", 3),
            Arg::OutInt("attributes", 4)};
}

TEST_F(UnixAccounts, WritesEveryOutputTheHostSuppliesForUsersAndGroups) {
    CallResult r = Call("get_unix_user_info", AllOutputs(0));
    EXPECT_TRUE(r.result == 0 && r.log.empty());
    EXPECT_EQ(Written(r), (Vars{{1, "s:root"}, {2, "s:S-1-22-1-0"}, {3, "s:00112233-4455-6677-8899-AABBCCDDEEFF"},
                                {4, "i:0"}}));
    EXPECT_EQ(Host().Journal().Last("GetUnixAccountInfo")->args, (Strings{"0", "0", "(ptr)"}));

    // Groups share the arguments; the low 32 bits name the group.
    r = Call("get_unix_group_info", AllOutputs(100 + (1ll << 32)));
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(Written(r), (Vars{{1, "s:users"}, {2, "s:S-1-22-2-100"}, {4, "i:2"}})) << "no uuid: variable untouched";
    EXPECT_EQ(Host().Journal().Last("GetUnixAccountInfo")->args, (Strings{"100", "1", "(ptr)"}));

    // Without any output the host is still asked and its result returned.
    EXPECT_EQ(Call("get_unix_group_info", {Arg::Int("uid", 12345)}).result, RefHost::kHostNotFound);
    EXPECT_EQ(Call("get_unix_group_info", {Arg::Int("uid", 0)}).result, 0);
    EXPECT_EQ(Host().Journal().Count("GetUnixAccountInfo"), 4u);
}

TEST_F(UnixAccounts, LeavesVariablesAloneForEmptyOrMissingValues) {
    {
        auto lock = Host().Lock();
        Host().State().unix_accounts[{7, false}] = {"", "", std::nullopt, 9};
    }
    CallResult r = Call("get_unix_user_info", AllOutputs(7));
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(Written(r), (Vars{{4, "i:9"}}));

    Host().ForceResult("GetUnixAccountInfo", 87);
    r = Call("get_unix_user_info", AllOutputs(0));
    EXPECT_EQ(r.result, 87);
    EXPECT_TRUE(r.variables.empty());
}

}  // namespace
}  // namespace OrvikTest
