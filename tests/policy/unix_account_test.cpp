// Account queries for numeric user and group ids.
#include <gtest/gtest.h>

#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

class UnixAccounts : public ModuleTest {
protected:
    std::vector<Arg> AllOutputs(std::int64_t uid) {
        return {Arg::Int("uid", uid), Arg::OutStr("name", 1), Arg::OutStr("sid", 2), Arg::OutStr("uuid", 3),
                Arg::OutInt("attributes", 4)};
    }
};

TEST_F(UnixAccounts, WritesEveryOutputTheHostSupplies) {
    const CallResult r = Call("get_unix_user_info", AllOutputs(0));
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(r.variables.at(1).text, "root");
    EXPECT_EQ(r.variables.at(2).text, "S-1-22-1-0");
    EXPECT_EQ(r.variables.at(3).text, "00112233-4455-6677-8899-AABBCCDDEEFF");
    EXPECT_EQ(r.variables.at(4).integer, 0u);
    EXPECT_EQ(Host().Journal().Last("GetUnixAccountInfo")->args[1], "0");
}

TEST_F(UnixAccounts, GroupQueriesShareTheArgumentsAndAskForGroups) {
    const CallResult r = Call("get_unix_group_info", AllOutputs(100 + (1ll << 32)));
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.variables.at(1).text, "users");
    EXPECT_EQ(r.variables.at(4).integer, 2u);
    EXPECT_EQ(r.variables.count(3), 0u) << "no uuid from the host: variable untouched";
    EXPECT_EQ(Host().Journal().Last("GetUnixAccountInfo")->args, (Strings{"100", "1", "(ptr)"}));

    // Without any output the host is still asked and its result returned.
    EXPECT_EQ(Call("get_unix_group_info", {Arg::Int("uid", 12345)}).result, RefHost::kHostNotFound);
    EXPECT_EQ(Call("get_unix_group_info", {Arg::Int("uid", 0)}).result, 0);
    EXPECT_EQ(Host().Journal().Count("GetUnixAccountInfo"), 3u);
}

TEST_F(UnixAccounts, LeavesVariablesAloneForEmptyOrMissingValues) {
    {
        auto lock = Host().Lock();
        Host().State().unix_accounts[{7, false}] = {"", "", std::nullopt, 9};
    }
    CallResult r = Call("get_unix_user_info", AllOutputs(7));
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.variables.size(), 1u);
    EXPECT_EQ(r.variables.at(4).integer, 9u);

    Host().ForceResult("GetUnixAccountInfo", 87);
    r = Call("get_unix_user_info", AllOutputs(0));
    EXPECT_EQ(r.result, 87);
    EXPECT_TRUE(r.variables.empty());
}

}  // namespace
}  // namespace OrvikTest
