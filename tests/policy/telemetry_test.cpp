// Telemetry events through the module: bodies byte for byte as the host got them.
#include <gtest/gtest.h>

#include <cstdint>

#include "support/call_args.h"
#include "support/module_fixture.h"
#include "support/stack_use.h"
#include "support/strict_json.h"

namespace OrvikTest {
namespace {

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

TEST_F(Telemetry, DetectionAndFeatureBodiesKeepTheirOrderAndOnlyTheGivenOptionalMembers) {
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
    EXPECT_EQ(Call("send_features_telemetry", WithArgs(kFeature, {Arg::Str("sha256_parent", "ps"),
                                                                  Arg::Str("path_parent", "C:\\p.exe")}))
                  .result,
              0);
    EXPECT_EQ(LastBody("be-file-feature"),
              "{\n\"feature_name\":\"entropy\",\n\"feature_version\":2,\n\"feature_value\":\"v\",\n"
              "\"file_size\":1024,\n\"md5\":\"m5\",\n\"sha1\":\"s1\",\n\"sha256\":\"s256\",\n\"path\":\"p\",\n"
              "\"path_parent\":\"C:\\\\p.exe\",\n\"sha256_parent\":\"ps\"\n}");
}

TEST_F(Telemetry, BodiesAreStrictJsonAndNoTextTakesMoreThan64KiBOfStack) {
    std::string objects;
    for (int i = 0; i < 30000; ++i) objects += "{\"a\":";
    // Deep texts that only the stack could refuse; which texts are embedded is the body's unit test's.
    const std::string texts[] = {objects, std::string(100000, '['), std::string(1000, '[')};
    const struct {
        const char *function, *member, *type;
        const std::vector<Arg>& args;
    } senders[] = {{"send_telemetry", "threat", "be-detect", kDetection},
                   {"send_features_telemetry", "feature_value", "be-file-feature", kFeature}};
    for (const std::string& text : texts) {
        for (const auto& to : senders) {
            const std::vector<Arg> args = WithArgs(to.args, {Arg::Str(to.member, text)});
            std::int64_t result = -1;
            EXPECT_LT(StackUsed([&] { result = Call(to.function, args).result; }), 64u * 1024) << text.substr(0, 50);
            EXPECT_EQ(result, 0);
            const Json::Value body = StrictJson(LastBody(to.type));
            EXPECT_EQ(body[to.member].asString(), text) << to.function << ": " << text.substr(0, 50);
        }
    }
}

TEST_F(Telemetry, JsonTelemetryPassesTypeAndBodyUntouchedAndHostResultsComeBack) {
    const std::string body = "{ not even \"json\"\\ \n";
    EXPECT_EQ(Call("send_json_telemetry", {Arg::Str("event_type", "custom"), Arg::Str("telemetry_json_body", body)})
                  .result,
              0);
    EXPECT_EQ(HostArgs(Host(), "SendTelemetry"), (Strings{"custom", "1", body, std::to_string(body.size())}));

    Host().ForceResult("SendTelemetry", -2);
    EXPECT_EQ(Call("send_json_telemetry", {Arg::Str("event_type", "e"), Arg::Str("telemetry_json_body", "{}")}).result,
              -2);
    EXPECT_EQ(Call("send_telemetry", kDetection).result, -2);
    EXPECT_EQ(Call("send_features_telemetry", kFeature).result, -2);
}

}  // namespace
}  // namespace OrvikTest
