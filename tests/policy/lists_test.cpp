// Allow and block lists, the quarantine cache, exploit prevention and the
// reputation services through the module.
#include <gtest/gtest.h>

#include "support/call_args.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using Lists = ModuleTest;

TEST_F(Lists, SingleTextQueriesPassTheTextAsGivenAndReturnTheHostAnswer) {
    const struct {
        const char *function, *argument, *operation;
    } cases[] = {
        {"is_in_trusted_hashes_list", "hash", "IsInTrustedHashesList"},
        {"is_in_blocked_hashes_list", "hash", "IsInBlockedHashesList"},
        {"is_in_thumbprint_blocklist", "thumbprint", "IsInThumbprintBlocklist"},
        {"is_in_exploit_prevention_list", "path", "IsInExploitPreventionList"},
        {"is_exploit_prevention_technique_enabled", "id", "IsExploitPreventionTechniqueEnabled"},
        {"disable_ep_file", "file", "DisableExploitPreventionFile"},
    };
    for (const auto& c : cases) {
        const CallResult r = Call(c.function, {Arg::Str(c.argument, "AbC\\Mixed Case")});
        EXPECT_EQ(r.result, 0) << c.function;
        EXPECT_TRUE(r.log.empty()) << c.function;
        EXPECT_EQ(HostArgs(Host(), c.operation), Strings{"AbC\\Mixed Case"}) << c.function;
        Host().ForceResult(c.operation, -4);
        EXPECT_EQ(Call(c.function, {Arg::Str(c.argument, "")}).result, -4) << c.function;
        EXPECT_EQ(HostArgs(Host(), c.operation), Strings{""}) << c.function;
    }
}

// Which pid stands for a uid is the whitelisting test's; here, what reaches each list.
TEST_F(Lists, UserListsPassThePathTheUidAndTheLow32BitsOfItsPid) {
    for (const auto& [function, operation] : {std::pair{"is_in_user_allowlist", "IsInUserAllowlist"},
                                              std::pair{"is_in_user_blocklist", "IsInUserBlocklist"}}) {
        auto call = NewCall();
        call->resolve_process[43] = {0, 0x100000888};
        EXPECT_EQ(Call(function, {Arg::Str("path", "C:\\y.exe"), Arg::Int("puid", 43)}, *call).result, 0);
        EXPECT_EQ(HostArgs(Host(), operation), (Strings{"C:\\y.exe", "43", "2184"}));
        Host().ForceResult(operation, -9);
        EXPECT_EQ(Call(function, {Arg::Str("path", "p"), Arg::Int("puid", 43)}, *call).result, -9);
    }
}

TEST_F(Lists, QuarantineQueriesNeedAtLeastOneHash) {
    const std::vector<Arg> path{Arg::Str("path", "C:\\f.exe")};
    // Empty texts count as absent.
    const CallResult r = Call("is_file_restored_from_quarantine",
                              WithArgs(path, {Arg::Str("md5", ""), Arg::Str("sha1", "")}));
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log), Strings{MalformedLine("is_file_restored_from_quarantine",
                                                     "Failed to query quarantine cache status of file "
                                                     "'C:\\f.exe': no hashes are given")});
    EXPECT_EQ(Host().Journal().Count("IsFileRestoredFromQuarantine"), 0u);

    // One hash is enough; the absent ones reach the host as empty texts.
    Host().ForceResult("IsFileRestoredFromQuarantine", 31);
    EXPECT_EQ(Call("is_file_restored_from_quarantine", WithArgs(path, {Arg::Str("sha256", "5E")})).result, 31);
    EXPECT_EQ(HostArgs(Host(), "IsFileRestoredFromQuarantine"), (Strings{"C:\\f.exe", "", "", "5E"}));
    Call("is_file_restored_from_quarantine", WithArgs(path, {Arg::Str("md5", "a"), Arg::Str("sha1", "b")}));
    EXPECT_EQ(HostArgs(Host(), "IsFileRestoredFromQuarantine"), (Strings{"C:\\f.exe", "a", "b", ""}));
}

TEST_F(Lists, ReputationQueriesPassTheTriggeringProcess) {
    auto call = NewCall();
    call->process_uid = 0x1234567890ull;
    EXPECT_EQ(Call("check_file_reputation_service", {Arg::Str("md5", "d41d"), Arg::Int("ttl", 0x100000007)}, *call)
                  .result,
              0);
    EXPECT_EQ(HostArgs(Host(), "CheckFileReputation"), (Strings{"78187493520", "d41d", "7"}));
    EXPECT_EQ(Call("check_corporate_whitelist", {Arg::Str("md5", "abc"), Arg::Str("threat", "T.X")}, *call).result, 0);
    EXPECT_EQ(HostArgs(Host(), "CheckCorporateWhitelist"), (Strings{"78187493520", "abc", "T.X"}));

    for (const auto& [function, operation] : {std::pair{"check_file_reputation_service", "CheckFileReputation"},
                                              std::pair{"check_corporate_whitelist", "CheckCorporateWhitelist"}}) {
        Host().ForceResult(operation, -2);
        EXPECT_EQ(Call(function, {Arg::Str("md5", "00")}, *call).result, -2) << function;
    }
    // Absent, the ttl is 0 and the threat name null.
    EXPECT_EQ(HostArgs(Host(), "CheckFileReputation"), (Strings{"78187493520", "00", "0"}));
    EXPECT_EQ(HostArgs(Host(), "CheckCorporateWhitelist"), (Strings{"78187493520", "00", "(null)"}));
}

TEST_F(Lists, TextsHandedToTheHostWithANulAreRefusedNamingTheArgument) {
    const CallResult r = Call("set_avc_verdict", {Arg::Str("path", "p"), Arg::Str("unique_file_id", {"U\0-1", 4}),
                                                  Arg::Int("id", 1), Arg::Int("value", 2), Arg::Int("scan_depth", 0),
                                                  Arg::Int("ttl", 5)});
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(LogLines(r.log), Strings{MalformedLine("set_avc_verdict", "argument 'unique_file_id' holds a NUL byte")});
    EXPECT_EQ(Host().Journal().Count("SetVerdict"), 0u);
}

}  // namespace
}  // namespace OrvikTest
