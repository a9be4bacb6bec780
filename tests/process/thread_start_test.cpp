// inject_detect_terminate and hollow_detect_terminate on real threads of a
// subject process: threads running in writable executable memory (one
// spinning there, one calling out of it) and an ordinary thread.
#include <gtest/gtest.h>

#include <cstdio>

#include "common/unique_handle.h"
#include "support/module_fixture.h"
#include "support/subject_process.h"

namespace OrvikTest {
namespace {

using Strings = std::vector<std::string>;

constexpr const char* kInject = "inject_detect_terminate";
constexpr const char* kHollow = "hollow_detect_terminate";
const std::string kContextLine = "0:Thread context acquired successfully";

std::string Hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%llx", static_cast<unsigned long long>(value));
    return text;
}

// Opened before a check, so that the id cannot name another thread afterwards.
Common::UniqueHandle Watch(std::uint64_t tid) {
    return Common::UniqueHandle(
        OpenThread(SYNCHRONIZE | THREAD_QUERY_INFORMATION | THREAD_SUSPEND_RESUME, FALSE, static_cast<DWORD>(tid)));
}

bool Running(const Common::UniqueHandle& thread) { return WaitForSingleObject(thread.Get(), 0) == WAIT_TIMEOUT; }

// The thread ended with exit code 0 (the wait bound only keeps a failing run finite).
bool EndedWithZero(const Common::UniqueHandle& thread) {
    DWORD code = 1;
    return WaitForSingleObject(thread.Get(), 10000) == WAIT_OBJECT_0 && GetExitCodeThread(thread.Get(), &code) &&
           code == 0;
}

// Suspended and resumed by the check: nobody left it suspended.
bool NotSuspended(const Common::UniqueHandle& thread) {
    const DWORD previous = SuspendThread(thread.Get());
    ResumeThread(thread.Get());
    return previous == 0;
}

class ThreadStart : public ModuleTest {
protected:
    CallResult Check(const char* function, std::uint64_t tid, std::uint64_t pid, std::int64_t terminate) {
        return Call(function, {Arg::Int("tid", static_cast<std::int64_t>(tid)),
                               Arg::Int("pid", static_cast<std::int64_t>(pid)), Arg::Int("terminate", terminate)});
    }
};

TEST_F(ThreadStart, InjectFindsThreadsStartedInWritableCodeAndEndsOnlyThoseOnRequest) {
    SubjectProcess subject({"rwx-spin", "rwx-callout", "worker"});
    const std::uint64_t spin = subject.Number("rwx_spin_thread"), callout = subject.Number("rwx_callout_thread"),
                        worker = subject.Number("worker_thread");
    const auto spin_thread = Watch(spin), callout_thread = Watch(callout), worker_thread = Watch(worker);
    ASSERT_TRUE(spin_thread && callout_thread && worker_thread);

    // Only the low 32 bits of each argument count: terminate 1 << 32 is no request.
    for (const std::uint64_t tid : {spin, callout}) {
        const CallResult r = Check(kInject, tid | 1ull << 32, subject.Pid() | 1ull << 32, 1ll << 32);
        EXPECT_EQ(r.result, 1) << tid;
        EXPECT_TRUE(r.log.empty()) << tid;
    }
    CallResult r = Check(kInject, worker, subject.Pid(), 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.log.empty());
    EXPECT_TRUE(Running(spin_thread) && Running(callout_thread) && Running(worker_thread));

    r = Check(kInject, spin, subject.Pid(), 1);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(LogLines(r.log), (Strings{"0:Thread was terminated"}));
    EXPECT_TRUE(EndedWithZero(spin_thread));
    EXPECT_TRUE(Running(callout_thread) && Running(worker_thread));
}

TEST_F(ThreadStart, HollowFindsWritableCodeAtTheInstructionOrAsAReturnAddress) {
    SubjectProcess subject({"rwx-spin", "rwx-callout", "worker"});
    const std::uint64_t spin = subject.Number("rwx_spin_thread"), callout = subject.Number("rwx_callout_thread"),
                        worker = subject.Number("worker_thread");
    const auto spin_thread = Watch(spin), callout_thread = Watch(callout), worker_thread = Watch(worker);
    ASSERT_TRUE(spin_thread && callout_thread && worker_thread);

    // Spinning: the instruction pointer itself, which the walk gives no frame for.
    CallResult r = Check(kHollow, spin, subject.Pid(), 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(LogLines(r.log),
              (Strings{kContextLine, "0:Stack contains suspicious PC 0x" + Hex(subject.Address("rwx_spin_address"))}));
    r = Check(kHollow, worker, subject.Pid(), 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(LogLines(r.log), (Strings{kContextLine, "0:No suspicious address found on stack"}));
    EXPECT_TRUE(Running(spin_thread) && Running(worker_thread));
    EXPECT_TRUE(NotSuspended(spin_thread) && NotSuspended(worker_thread));

    // Calling Sleep: the address the call returns to (page offset 21).
    r = Check(kHollow, callout, subject.Pid(), 1);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(LogLines(r.log),
              (Strings{kContextLine,
                       "0:Stack contains suspicious PC 0x" + Hex(subject.Address("rwx_callout_address") + 21),
                       "0:Thread was terminated"}));
    EXPECT_TRUE(EndedWithZero(callout_thread));
    EXPECT_TRUE(Running(spin_thread) && Running(worker_thread));

    // The calling thread itself is examined without suspending it.
    r = Check(kHollow, GetCurrentThreadId(), GetCurrentProcessId(), 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(LogLines(r.log), (Strings{kContextLine, "0:No suspicious address found on stack"}));
}

TEST_F(ThreadStart, ThreadsAndProcessesThatCannotBeOpenedGiveMinusOneWithTheirMessage) {
    SubjectProcess subject({"worker"});
    const std::uint64_t worker = subject.Number("worker_thread");
    const std::string pid = std::to_string(subject.Pid());
    for (const char* function : {kInject, kHollow}) {
        CallResult r = Check(function, 0, subject.Pid(), 1);
        EXPECT_EQ(r.result, -1) << function;
        EXPECT_EQ(LogLines(r.log), (Strings{"2:Failed to acquire thread handle for pid: " + pid + ", tid: 0. Error: 87"}))
            << function;

        r = Check(function, worker, 0, 1);
        EXPECT_EQ(r.result, -1) << function;
        Strings expected{"2:Failed to acquire process handle. Error: 87"};
        if (function == kHollow) expected.insert(expected.begin(), kContextLine);
        EXPECT_EQ(LogLines(r.log), expected) << function;
    }
    EXPECT_TRUE(Running(Watch(worker)));
    EXPECT_EQ(Call(kInject, {Arg::Int("tid", 1), Arg::Int("pid", 1)}).result, -1);
}

}  // namespace
}  // namespace OrvikTest
