// Internals of the frame that no registered function reaches through the
// interface.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>

#include "common/error.h"
#include "host/host_call_context.h"
#include "orvik/argparse/arg_parse.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/handler_frame.h"
#include "orvik/context/library_context.h"

namespace ScanEngine {
namespace {

TEST(ArgParse, StringsKeepTheLengthTheHostDeclaresAndUndeclaredReadsAreHandlerFaults) {
    constexpr ArgumentDescriptor kList[] = {InString(arg::path, kRequired), kEndOfArguments};
    RefHost::ObjectPool objects;
    RefHost::HostCallContext call{objects};
    const std::string with_nuls("a\0b\0c", 5);
    call.DeclareString(with_nuls.c_str(), with_nuls.size());
    Abi::ArgumentValue value{reinterpret_cast<std::uint64_t>(with_nuls.c_str()), Abi::kValueString, 0, "path"};
    const ArgParse args(kList, 1, &value, call.Record());
    EXPECT_EQ(args.GetString(arg::path), with_nuls);
    try {
        args.GetString(arg::md5);
        ADD_FAILURE() << "no error raised";
    } catch (const Common::Error& e) {
        EXPECT_EQ(e.Text(), "the handler reads the undeclared argument 'md5'");
    }
}

// Bodies that fail in ways the registered functions cannot be made to.
std::int64_t ThrowsBadAlloc(Invocation&) { throw std::bad_alloc(); }
std::int64_t ThrowsSomethingElse(Invocation&) { throw 42; }
std::int64_t Succeeds(Invocation& call) { return call.args.GetInteger(arg::engine_id) * 2; }

TEST(HandlerFrame, NoExceptionLeavesAHandler) {
    RefHost::HostEngine engine;
    auto library = CreateLibraryContext(engine.Registrar());
    RefHost::HostCallContext call(engine.Services().Objects());
    call.function_name = "is_engine_enabled";
    Abi::ArgumentValue value{21, Abi::kValueInteger, 0, "engine_id"};

    const auto run = [&](HandlerBody handler, std::int64_t failed, HandlerGate gate, std::size_t count) {
        return RunHandler(FunctionId::is_engine_enabled, handler, failed, gate, count, count ? &value : nullptr,
                          nullptr, call.Record(), library.get());
    };
    EXPECT_EQ(run(&Succeeds, -1, nullptr, 1), 42);
    EXPECT_EQ(run(&ThrowsBadAlloc, -1, nullptr, 1), -1);
    EXPECT_EQ(run(&ThrowsSomethingElse, 18, nullptr, 1), 18);
    // A gate answers before the arguments are looked at.
    EXPECT_EQ(run(&Succeeds, -1, []() noexcept -> std::optional<std::int64_t> { return 50; }, 0), 50);
    EXPECT_THAT(call.log, ::testing::SizeIs(2));
    EXPECT_EQ(call.log[0].text, "Malformed functional call 'is_engine_enabled': std::bad_alloc");
    EXPECT_EQ(call.log[1].text, "Malformed functional call 'is_engine_enabled': unexpected exception");
    for (const auto& line : call.log) EXPECT_EQ(line.level, 2u);
}

}  // namespace
}  // namespace ScanEngine
