// Argument validation and failure reporting as a rule sees them: through a
// registered handler of the loaded module.
#include <gtest/gtest.h>

#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

using Frame = ModuleTest;

// A malformed call logs exactly one level-2 line, returns -1 and never reaches the host.
TEST_F(Frame, RejectsUndeclaredMismatchedMissingAndWronglyBoundArguments) {
    const struct {
        const char* function;
        std::vector<Arg> args;
        std::string text;
    } cases[] = {
        {"is_engine_enabled", {Arg::Int("engine_id", 1), Arg::Str("path", "x")}, "got unsupported argument 'path'"},
        // The first failing value ends validation.
        {"set_process_monitored_status", {Arg::Str("puid", "1"), Arg::Int("bogus", 1)},
         "typeinfo mismatched for argument 'puid'"},
        {"is_engine_enabled", {Arg::Undefined("engine_id")}, "got undefined argument 'engine_id' value"},
        // Outputs are integers (variable references): a string literal there is a kind mismatch.
        {"get_unix_user_info", {Arg::Int("uid", 0), Arg::Str("name", "x")}, "typeinfo mismatched for argument 'name'"},
        // Missing required arguments in declaration order.
        {"set_process_monitored_status", {}, "required arguments not found 'puid, enabled, '"},
        {"set_process_monitored_status", {Arg::Int("enabled", 1)}, "required arguments not found 'puid, '"},
        // An integer output bound to a string variable.
        {"get_unix_user_info", {Arg::Int("uid", 0), Arg::OutStr("attributes", 1)},
         "argument 'attributes' has malformed variable starage class: 2"},
    };
    for (const auto& c : cases) {
        const CallResult r = Call(c.function, c.args);
        EXPECT_EQ(r.result, -1) << c.text;
        EXPECT_EQ(LogLines(r.log), Strings{MalformedLine(c.function, c.text)});
        EXPECT_TRUE(r.variables.empty()) << c.text;
    }
    EXPECT_TRUE(Host().Journal().All().empty());
}

// A host that passes no call record or no library context fails the call
// and is never dereferenced; without a record there is nowhere to report.
TEST_F(Frame, SurvivesAHostThatPassesNoCallRecordOrLibraryContext) {
    const auto handler = module_->HandlerOf("is_engine_enabled");
    ScanEngine::Abi::ArgumentValue value{1, ScanEngine::Abi::kValueInteger, 0, "engine_id"};
    EXPECT_EQ(handler(1, &value, nullptr, nullptr, module_->Context()), -1);
    auto call = NewCall();
    call->function_name = "is_engine_enabled";
    EXPECT_EQ(handler(1, &value, nullptr, call->Record(), nullptr), -1);
    EXPECT_EQ(LogLines(call->log), Strings{MalformedLine("is_engine_enabled", "no library context")});
    EXPECT_TRUE(Host().Journal().All().empty());
}

}  // namespace
}  // namespace OrvikTest
