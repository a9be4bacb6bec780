// Alerts, sample uploads, EDR events, significant-process notices and
// telemetry through the module: the records and bodies exactly as the host
// received them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/call_args.h"
#include "support/module_fixture.h"
#include "support/stack_use.h"
#include "support/strict_json.h"

namespace OrvikTest {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;
using namespace std::string_literals;

const std::string kMd5 = "00112233445566778899aabbccddeeff";
const std::string kSha1 = "000102030405060708090A0B0C0D0E0F10111213";
const std::string kSha256 = "ffeeddccbbaa99887766554433221100ffeeddccbbaa99887766554433221100";

std::vector<Arg> AlertArgs(const std::string& path, const std::vector<Arg>& changes = {}) {
    return WithArgs({Arg::Str("path", path), Arg::Int("rule", 7), Arg::Str("threat", "Trojan.X"), Arg::Str("md5", kMd5),
                     Arg::Str("sha1", kSha1), Arg::Str("sha256", kSha256)},
                    changes);
}

using Alerts = ModuleTest;

TEST_F(Alerts, PathsSplitIntoFolderAndFileName) {
    const struct {
        const char *path, *folder, *file_name;
    } cases[] = {
        {"C:\\dir\\app.exe", "C:\\dir", "app.exe"}, {"C:\\app.exe", "C:\\", "app.exe"}, {"a.exe", "a.exe", "a.exe"},
        {"\\\\?\\C:\\app.exe", "\\\\?\\C:\\", "app.exe"}, {"\\\\?\\UNC\\", "\\\\?\\UNC", ""},
        {"\\\\?\\UNC\\server\\share\\app.exe", "\\\\?\\UNC\\server\\share", "app.exe"},
        {"C:\\dir/app.exe", "C:\\dir", "app.exe"}, {"C:\\dir/sub\\/", "C:\\dir/sub\\", "sub"}, {"C:", "C:\\", "C:"},
    };
    for (const auto& c : cases) {
        const CallResult r = Call("alert", AlertArgs(c.path));
        EXPECT_EQ(r.result, 0) << c.path;
        EXPECT_TRUE(r.log.empty()) << c.path;
        EXPECT_THAT(HostArgs(Host(), "RaiseAlert"),
                    ElementsAre(StartsWith("{folder="s + c.folder + ", file_name=" + c.file_name + ", rule_id=7, ")));
    }
}

TEST_F(Alerts, NumbersAreCutTo32BitsAndUploadFollowsQuarantineUnlessGiven) {
    const struct {
        std::vector<Arg> extra;
        Strings expected;  // rule, threat, file size, can quarantine, upload, engine, system pid
    } cases[] = {
        {{Arg::Int("file_size", 0x100000400), Arg::Int("engine_id", 0x200000003), Arg::Int("systempid", 4242)},
         {"7", "Trojan.X", "1024", "1", "1", "3", "4242"}},
        {{Arg::Int("rule", -2), Arg::Int("can_quarantine", 0)}, {"4294967294", "Trojan.X", "0", "0", "0", "0", "0"}},
        {{Arg::Int("can_quarantine", 0), Arg::Int("enable_upload", 1)}, {"7", "Trojan.X", "0", "0", "1", "0", "0"}},
        {{Arg::Int("can_quarantine", 5), Arg::Int("enable_upload", 0)}, {"7", "Trojan.X", "0", "1", "0", "0", "0"}},
        {{Arg::Int("can_quarantine", 1ll << 32)}, {"7", "Trojan.X", "0", "1", "1", "0", "0"}},
    };
    // The digests arrive as bytes, shown as lower-case hex.
    const std::string digests = "md5=" + kMd5 + ", sha1=000102030405060708090a0b0c0d0e0f10111213, sha256=" + kSha256;
    for (const auto& c : cases) {
        EXPECT_EQ(Call("alert", AlertArgs("a.exe", c.extra)).result, 0) << c.expected[0];
        const Strings& e = c.expected;
        EXPECT_EQ(HostArgs(Host(), "RaiseAlert"),
                  Strings{"{folder=a.exe, file_name=a.exe, rule_id=" + e[0] + ", pad0=0, threat=" + e[1] + ", " +
                          digests + ", file_size=" + e[2] + ", can_quarantine=" + e[3] + ", upload_enabled=" + e[4] +
                          ", pad1=0, engine_id=" + e[5] + ", system_pid=" + e[6] + "}"});
    }
}

TEST_F(Alerts, TheThreatIsReportedForTheTriggeringProcessWhateverTheHostAnswered) {
    Host().ForceResult("RaiseAlert", 31);
    auto call = NewCall();
    call->process_uid = 99;
    EXPECT_EQ(Call("alert", AlertArgs("b.exe"), *call).result, 31);
    EXPECT_EQ(call->threat_reports, (std::vector<std::pair<std::uint64_t, std::string>>{{99, "Trojan.X"}}));
    auto none = NewCall();
    EXPECT_EQ(Call("alert", AlertArgs("c.exe"), *none).result, 31);
    EXPECT_TRUE(none->threat_reports.empty());
    EXPECT_TRUE(call->log.empty() && none->log.empty());
    // A host without the uid operation loses the report, not the alert's result.
    auto broken = NewCall();
    broken->Record()->GetProcessUid = nullptr;
    const CallResult r = Call("alert", AlertArgs("d.exe"), *broken);
    EXPECT_EQ(r.result, 31);
    EXPECT_THAT(LogLines(r.log), ElementsAre("1:alert: threat not reported to the rules engine: host operation "
                                             "'GetProcessUid' is not available"));
    EXPECT_EQ(Host().Journal().Count("RaiseAlert"), 3u);
}

TEST_F(Alerts, UploadsAndEdrEventsPassTheirBytesAndTheHostResult) {
    EXPECT_EQ(Call("upload_sample", {Arg::Str("path", "C:\\s\\x.bin"), Arg::Str("threat", "Worm.Y")}).result, 0);
    EXPECT_EQ(HostArgs(Host(), "UploadSample"), (Strings{"C:\\s\\x.bin", "Worm.Y"}));
    Host().ForceResult("UploadSample", -5);
    EXPECT_EQ(Call("upload_sample", {Arg::Str("path", "p"), Arg::Str("threat", "")}).result, -5);

    // The low 32 bits of the length count, and never more than the binary holds.
    const std::string blob("ab\0cd\xff", 6);
    for (const std::int64_t length : {6ll, 2ll, 0ll, (1ll << 32) + 3})
        EXPECT_EQ(Call("on_edr_event", {Arg::Str("binary", blob), Arg::Int("length", length)}).result, 0) << length;
    for (const std::int64_t length : {7ll, -1ll}) {
        const std::string text =
            "argument 'length' (" + std::to_string(length) + ") exceeds the 6 bytes of argument 'binary'";
        EXPECT_THAT(LogLines(Call("on_edr_event", {Arg::Str("binary", blob), Arg::Int("length", length)}).log),
                    ElementsAre(MalformedLine("on_edr_event", text)));
    }
    Host().ForceResult("OnEdrEvent", 17);
    EXPECT_EQ(Call("on_edr_event", {Arg::Str("binary", "x"), Arg::Int("length", 1)}).result, 17);
    auto lock = Host().Lock();
    EXPECT_EQ(Host().State().edr_events, (Strings{blob, "ab", "", "ab\0"s}));
}

TEST_F(Alerts, SignificantProcessNoticesCarryIdentityAndTheTriggeringProcess) {
    auto call = NewCall();
    call->process_uid = 0x1122334455667788;
    call->process_id = 0x100000ABC;
    // The host's answer comes back: it knows no such process yet.
    const std::vector<Arg> identity{Arg::Str("identity", "svc")};
    EXPECT_EQ(Call("on_significant_process_terminated", identity, *call).result, RefHost::kHostNotFound);
    EXPECT_EQ(Call("on_significant_process_started", identity, *call).result, 0);
    const Strings record{"{identity=svc, process_uid=1234605616436508552, process_id=2748, zero=0}"};
    EXPECT_EQ(HostArgs(Host(), "OnSignificantProcessStarted"), record);
    EXPECT_EQ(HostArgs(Host(), "OnSignificantProcessTerminated"), record);
    EXPECT_TRUE(call->log.empty());

    auto no_pid = NewCall();
    no_pid->process_uid = 5;
    EXPECT_THAT(LogLines(Call("on_significant_process_started", identity, *no_pid).log),
                ElementsAre(MalformedLine("on_significant_process_started",
                                          "No process info available in current context")));
    EXPECT_EQ(Host().Journal().All().size(), 2u);
}

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
        // Undefined counts as not given; a given zero does not.
        {{Arg::Undefined("md5_parent"), Arg::Int("file_critical", 0), Arg::Undefined("path_parent")},
         ",\n\"file_critical\":0"},
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

// Deep texts that only the stack could refuse are embedded whole, within 64 KiB of stack.
TEST_F(Telemetry, DeepTextsTakeLittleStack) {
    std::string objects;
    for (int i = 0; i < 30000; ++i) objects += "{\"a\":";
    for (const std::string& text : {objects, std::string(100000, '['), std::string(1000, '[')}) {
        std::int64_t result = -1;
        const auto args = WithArgs(kDetection, {Arg::Str("threat", text)});
        EXPECT_LT(StackUsed([&] { result = Call("send_telemetry", args).result; }), 64u * 1024);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(StrictJson(LastBody("be-detect"))["threat"].asString(), text);
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
