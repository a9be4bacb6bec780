// Handlers called from several host threads at once, each call with its own
// call context, against one library context.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/module_fixture.h"

namespace OrvikTest {
namespace {

class Concurrency : public ModuleTest {};

TEST_F(Concurrency, ParallelCallsKeepTheirOwnArgumentsAndOutputs) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 300;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                const std::uint64_t uid = 1000u * (t + 1) + i;
                auto call = NewCall();
                call->process_uid = uid;
                call->process_id = uid + 7;
                if (module_->Call("whitelist_process", {Arg::Int("puid", static_cast<std::int64_t>(uid))}, *call).result != 0)
                    ++failures;

                auto account = NewCall();
                const CallResult r = module_->Call(
                    "get_unix_user_info", {Arg::Int("uid", t % 2 ? 0 : 1000), Arg::OutStr("name", 1)}, *account);
                if (r.result != 0 || r.variables.at(1).text != (t % 2 ? "root" : "user")) ++failures;

                if (Call("probability_check", {Arg::Int("range", 1)}).result != 1) ++failures;
                if (Call("is_engine_enabled", {Arg::Int("engine_id", t)}).result != 1) ++failures;
            }
        });
    }
    for (auto& thread : threads) thread.join();

    EXPECT_EQ(failures.load(), 0);
    auto lock = Host().Lock();
    ASSERT_EQ(Host().State().whitelisted.size(), static_cast<std::size_t>(kThreads * kRounds));
    for (const auto& [uid, pid] : Host().State().whitelisted) EXPECT_EQ(pid, uid + 7);
}

}  // namespace
}  // namespace OrvikTest
