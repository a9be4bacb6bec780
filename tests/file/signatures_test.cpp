// Signature checks and the system-critical flag through the module: what the
// host receives, what lands in the variables and in which order, and that
// every record the host hands back is released exactly once (TearDown).
#include <gtest/gtest.h>

#include "process/guarded_page.h"
#include "support/call_args.h"
#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

namespace Abi = ScanEngine::Abi;

constexpr const char* kPath = "C:\\Program Files\\App\\app.exe";

// A host answer made by hand: the record comes from the host's pool (so its
// release is counted), then has its fields bent by the test.
struct Answer {
    RefHost::HostServices* host = nullptr;
    std::int32_t status = 0;
    const char* thumbprint = nullptr;
    const char* vendor = nullptr;
    const char* text = nullptr;
    std::uint32_t text_length = 0;
};
Answer g_answer;

class Signatures : public ModuleTest {
public:
    void SetUp() override {
        ModuleTest::SetUp();
        g_answer = {&Host()};
        auto lock = Host().Lock();
        Host().State().signatures[kPath] = {-2, {"3A:F0:99", "Orvik Test Vendor"}};
        Host().State().extended_signatures[kPath] = {0xFFFFFFFEu, std::string("{\"signer\":\"x\"}\0tail", 19)};
        Host().State().system_critical.insert(kPath);
    }
    void AnswerSignatureByHand() {
        engine_.ServiceInterface()->CheckSignature = [](Abi::ServiceInterface*, Abi::SecurityToken*, const char*,
                                                        const char*, Abi::SignatureInfo** out) {
            auto* object = g_answer.host->Objects().Make<RefHost::SignatureInfoObject>(7, "", "");
            object->abi.thumbprint = g_answer.thumbprint;
            object->abi.vendor = g_answer.vendor;
            *out = &object->abi;
            return g_answer.status;
        };
    }
    void AnswerExtendedByHand() {
        engine_.ServiceInterface()->CheckExtendedSignature = [](Abi::ServiceInterface*, Abi::SecurityToken*,
                                                                const char*, const char*,
                                                                Abi::ExtendedSignatureInfo** out, std::uint32_t,
                                                                std::uint8_t) {
            auto* object = g_answer.host->Objects().Make<RefHost::ExtendedSignatureInfoObject>(3, "");
            object->abi.text = g_answer.text;
            object->abi.text_length = g_answer.text_length;
            *out = &object->abi;
            return g_answer.status;
        };
    }
};

const std::vector<Arg> kSignatureArgs = {Arg::Str("path", kPath), Arg::Str("unique_file_id", "U-7"),
                                         Arg::OutInt("status", 1), Arg::OutStr("thumbprint", 2),
                                         Arg::OutStr("vendor", 3)};
const std::vector<Arg> kExtendedArgs = {Arg::Str("path", kPath), Arg::Int("signature_mask", 0x100000003),
                                        Arg::Int("is_deep_scan", 7), Arg::OutStr("signature_info_ext", 1),
                                        Arg::OutInt("schema_version", 2)};

TEST_F(Signatures, CheckSignatureCopiesTheRecordIntoTheNamedOutputs) {
    CallResult r = Call("check_signature", kSignatureArgs);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(HostArgs(Host(), "CheckSignature"), (Strings{"(ptr)", kPath, "U-7", "(ptr)"}));
    EXPECT_EQ(Written(r), (Vars{{1, "i:18446744073709551614"}, {2, "s:3A:F0:99"}, {3, "s:Orvik Test Vendor"}}));

    auto call = NewCall();
    call->process_info = RefHost::ProcessInfoMode::None;
    EXPECT_EQ(Call("check_signature", kSignatureArgs, *call).result, 0);
    EXPECT_EQ(HostArgs(Host(), "CheckSignature").front(), "(null)");  // no token to pass

    // Unset texts read as empty.
    AnswerSignatureByHand();
    r = Call("check_signature", kSignatureArgs);
    EXPECT_EQ(std::pair(r.result, Written(r)), std::pair(0ll, Vars{{1, "i:7"}, {2, "s:"}, {3, "s:"}}));
}

TEST_F(Signatures, CheckExtendedSignaturePassesTheLow32MaskAndDeepScanAndCopiesTheTextByLength) {
    CallResult r = Call("check_extended_signature", kExtendedArgs);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.log.empty());
    EXPECT_EQ(HostArgs(Host(), "CheckExtendedSignature"), (Strings{"(ptr)", kPath, "", "(ptr)", "3", "1"}));
    EXPECT_EQ(Written(r), (Vars{{1, "s:" + std::string("{\"signer\":\"x\"}\0tail", 19)}, {2, "i:4294967294"}}));

    // Text first, then the schema version; deep scan 0 passes false.
    auto call = NewCall();
    call->refused_variables = {1, 2};
    r = Call("check_extended_signature",
             WithArgs(kExtendedArgs, {Arg::Int("is_deep_scan", 0), Arg::Str("unique_file_id", "U-9")}), *call);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(LogLines(r.log), (Strings{"2:failed to assign new string value to variable ref=1",
                                        "2:failed to assign new integer value to variable ref=2"}));
    EXPECT_EQ(HostArgs(Host(), "CheckExtendedSignature"), (Strings{"(ptr)", kPath, "U-9", "(ptr)", "3", "0"}));

    // A text without a NUL ends right before a no-access page: only its length is read.
    AnswerExtendedByHand();
    GuardedPage page;
    g_answer.text = reinterpret_cast<const char*>(page.PlaceAtEnd("{\"a\":1}"));
    g_answer.text_length = 7;
    r = Call("check_extended_signature", kExtendedArgs);
    EXPECT_EQ(std::pair(r.result, Written(r)), std::pair(0ll, Vars{{1, "s:{\"a\":1}"}, {2, "i:3"}}));
    // No text at all, whatever length is claimed, is the empty text.
    g_answer.text = nullptr;
    g_answer.text_length = 5;
    r = Call("check_extended_signature", kExtendedArgs);
    EXPECT_TRUE(r.result == 0 && r.variables.at(1).text.empty());
}

TEST_F(Signatures, FailuresWriteNothingAndReleaseWhateverCameAndMalformedCallsGive18) {
    const struct {
        const char *function, *host_call, *log;
        const std::vector<Arg>& args;
        void (Signatures::*by_hand)();
    } checks[] = {{"check_signature", "CheckSignature", "1:CheckSignature failed to GetSignatureInfo, path: ",
                   kSignatureArgs, &Signatures::AnswerSignatureByHand},
                  {"check_extended_signature", "CheckExtendedSignature", "1:Failed to GetExtendedSignatureInfo, path: ",
                   kExtendedArgs, &Signatures::AnswerExtendedByHand}};
    for (const auto& c : checks) {
        CallResult r = Call(c.function, WithArgs(c.args, {Arg::Str("path", "C:\\unsigned.exe")}));
        EXPECT_EQ(std::pair(r.result, LogLines(r.log)),
                  std::pair(2ll, Strings{c.log + std::string("C:\\unsigned.exe, return value: 2")}));
        EXPECT_TRUE(r.variables.empty());
        // A negative status shows as unsigned and comes back unchanged; a success without a record fails.
        for (const auto& [status, result] : {std::pair<std::int64_t, std::int64_t>{-5, -5}, {0, -1}}) {
            Host().ForceResult(c.host_call, status);
            r = Call(c.function, c.args);
            EXPECT_EQ(std::pair(r.result, LogLines(r.log)),
                      std::pair(result, Strings{c.log + std::string(kPath) + ", return value: " +
                                                std::to_string(static_cast<std::uint32_t>(status))}));
            EXPECT_TRUE(r.variables.empty());
        }
        // Malformed calls give 18, not -1, and never reach the host.
        const std::size_t asked = Host().Journal().Count(c.host_call);
        r = Call(c.function, {c.args[1], c.args[2]});
        EXPECT_EQ(std::pair(r.result, LogLines(r.log)),
                  std::pair(18ll, Strings{MalformedLine(c.function, "required arguments not found 'path, '")}));
        EXPECT_EQ(Host().Journal().Count(c.host_call), asked);
        // A record that comes with a failure is not read, but released.
        (this->*c.by_hand)();
        g_answer = {&Host(), 9, "never read", "never read", "never read", 10};
        r = Call(c.function, c.args);
        EXPECT_TRUE(r.result == 9 && r.variables.empty());
    }
}

TEST_F(Signatures, SystemCriticalWritesTheSignExtendedAnswerOrPassesTheHostStatusOn) {
    const std::vector<Arg> args = {Arg::Str("path", kPath), Arg::Str("unique_file_id", "U-1"),
                                   Arg::OutInt("status", 4)};
    CallResult r = Call("is_executable_system_critical", args);
    EXPECT_TRUE(r.result == 0 && r.log.empty());
    EXPECT_EQ(r.variables.at(4).integer, 1u);
    EXPECT_EQ(HostArgs(Host(), "IsExecutableSystemCritical"), (Strings{kPath, "U-1", "(ptr)"}));

    // A host that leaves the status alone: the preset -1 comes back, sign-extended. A host status comes back
    // unchanged, with nothing written or logged.
    engine_.ServiceInterface()->IsExecutableSystemCritical = [](Abi::ServiceInterface*, const char*, const char*,
                                                                std::uint32_t* status) {
        if (g_answer.status != 0) *status = 1;
        return g_answer.status;
    };
    r = Call("is_executable_system_critical", args);
    EXPECT_TRUE(r.result == 0 && r.log.empty());
    EXPECT_EQ(r.variables.at(4).integer, ~std::uint64_t{0});
    g_answer.status = 2;
    r = Call("is_executable_system_critical", args);
    EXPECT_TRUE(r.result == 2 && r.log.empty() && r.variables.empty());
}

}  // namespace
}  // namespace OrvikTest
