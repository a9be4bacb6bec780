// Telemetry events through the module: bodies byte for byte as the host got them.
#include <gtest/gtest.h>

#include "support/call_args.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using Strings = std::vector<std::string>;

const std::vector<Arg> kDetection{Arg::Str("threat", "Trojan.X"), Arg::Int("rule", 12),     Arg::Int("silent", 0),
                                  Arg::Str("md5", "m5"),          Arg::Str("sha1", "s1"),    Arg::Str("sha256", "s256"),
                                  Arg::Str("path", "C:\\a.exe"),  Arg::Str("cmdline", "a -x")};
const std::string kDetectionBody = "{\n\"threat\":\"Trojan.X\",\n\"rule\":12,\n\"silent\":0,\n\"md5\":\"m5\",\n"
                                   "\"sha1\":\"s1\",\n\"sha256\":\"s256\",\n\"path\":\"C:\\\\a.exe\",\n"
                                   "\"cmdline\":\"a -x\"";
const std::vector<Arg> kFeature{Arg::Str("feature_name", "entropy"), Arg::Str("feature_value", "v"),
                                Arg::Int("feature_version", 2),      Arg::Int("file_size", 1024),
                                Arg::Str("md5", "m5"),               Arg::Str("sha1", "s1"),
                                Arg::Str("sha256", "s256"),          Arg::Str("path", "p")};

class Telemetry : public ModuleTest {
protected:
    // The last body, after checking what came with it.
    std::string LastBody(const std::string& event_type) {
        auto lock = Host().Lock();
        if (Host().State().telemetry.empty()) return "(none)";
        const RefHost::ReceivedTelemetry t = Host().State().telemetry.back();
        EXPECT_EQ(t.event_type, event_type);
        EXPECT_EQ(t.one, 1u);
        EXPECT_EQ(t.length, t.body.size());
        return t.body;
    }
};

TEST_F(Telemetry, DetectionBodyKeepsItsOrderAndOnlyTheGivenOptionalMembers) {
    const struct {
        std::vector<Arg> changes;
        std::string tail;
    } cases[] = {
        {{}, ""},
        {{Arg::Int("file_critical", 1), Arg::Str("sha256_parent", "ps256"), Arg::Str("path_parent", "C:\\p.exe"),
          Arg::Str("sha1_parent", "ps1"), Arg::Str("md5_parent", "pm5")},
         ",\n\"path_parent\":\"C:\\\\p.exe\",\n\"md5_parent\":\"pm5\",\n\"sha1_parent\":\"ps1\",\n"
         "\"sha256_parent\":\"ps256\",\n\"file_critical\":1"},
        // Undefined counts as not given; a given zero or empty text does not.
        {{Arg::Undefined("md5_parent"), Arg::Int("file_critical", 0), Arg::Undefined("path_parent")},
         ",\n\"file_critical\":0"},
        {{Arg::Str("sha1_parent", "")}, ",\n\"sha1_parent\":\"\""},
    };
    for (const auto& c : cases) {
        const CallResult r = Call("send_telemetry", WithArgs(kDetection, c.changes));
        EXPECT_EQ(r.result, 0) << c.tail;
        EXPECT_TRUE(r.log.empty()) << c.tail;
        EXPECT_EQ(LastBody("be-detect"), kDetectionBody + c.tail + "\n}");
    }
    // Numbers are whole and signed; texts are escaped.
    EXPECT_EQ(Call("send_telemetry", WithArgs(kDetection, {Arg::Str("threat", "B\"\n"), Arg::Int("rule", -3),
                                                           Arg::Int("silent", 1ll << 40)}))
                  .result,
              0);
    const std::string head = "{\n\"threat\":\"B\\\"\\n\",\n\"rule\":-3,\n\"silent\":1099511627776,\n";
    EXPECT_EQ(LastBody("be-detect").substr(0, head.size()), head);
}

TEST_F(Telemetry, FeatureBodyEmbedsStructuredTextsAndKeepsOptionalMembersInOrder) {
    EXPECT_EQ(Call("send_features_telemetry", WithArgs(kFeature, {Arg::Str("sha256_parent", "ps"),
                                                                  Arg::Str("path_parent", "C:\\p.exe")}))
                  .result,
              0);
    EXPECT_EQ(LastBody("be-file-feature"),
              "{\n\"feature_name\":\"entropy\",\n\"feature_version\":2,\n\"feature_value\":\"v\",\n"
              "\"file_size\":1024,\n\"md5\":\"m5\",\n\"sha1\":\"s1\",\n\"sha256\":\"s256\",\n\"path\":\"p\",\n"
              "\"path_parent\":\"C:\\\\p.exe\",\n\"sha256_parent\":\"ps\"\n}");

    // Every string member follows the same rule, the name included.
    EXPECT_EQ(Call("send_features_telemetry",
                   WithArgs(kFeature, {Arg::Str("feature_name", "{\"n\":1}"), Arg::Str("feature_value", "{} x"),
                                       Arg::Int("file_size", -1), Arg::Str("sha256_parent", "[\"x\"]")}))
                  .result,
              0);
    EXPECT_EQ(LastBody("be-file-feature"),
              "{\n\"feature_name\":{\"n\":1},\n\"feature_version\":2,\n\"feature_value\":\"{} x\",\n"
              "\"file_size\":-1,\n\"md5\":\"m5\",\n\"sha1\":\"s1\",\n\"sha256\":\"s256\",\n\"path\":\"p\",\n"
              "\"sha256_parent\":[\"x\"]\n}");
}

TEST_F(Telemetry, JsonTelemetryPassesTypeAndBodyUntouchedAndHostResultsComeBack) {
    const std::string body = "{ not even \"json\"\\ \n";
    EXPECT_EQ(Call("send_json_telemetry", {Arg::Str("event_type", "custom"), Arg::Str("telemetry_json_body", body)})
                  .result,
              0);
    EXPECT_EQ(HostArgs(Host(), "SendTelemetry"), (Strings{"custom", "1", body, std::to_string(body.size())}));
    EXPECT_EQ(Call("send_json_telemetry", {Arg::Str("event_type", ""), Arg::Str("telemetry_json_body", "")}).result,
              0);
    EXPECT_EQ(LastBody(""), "");

    Host().ForceResult("SendTelemetry", -2);
    EXPECT_EQ(Call("send_json_telemetry", {Arg::Str("event_type", "e"), Arg::Str("telemetry_json_body", "{}")}).result,
              -2);
    EXPECT_EQ(Call("send_telemetry", kDetection).result, -2);
    EXPECT_EQ(Call("send_features_telemetry", kFeature).result, -2);
}

}  // namespace
}  // namespace OrvikTest
