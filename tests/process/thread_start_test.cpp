// inject_detect_terminate and hollow_detect_terminate on real threads of a
// subject process: in writable executable memory (spinning there, or calling
// out of it) and in ordinary code.
#include <gtest/gtest.h>

#include <cstdio>

#include "common/unique_handle.h"
#include "support/module_fixture.h"
#include "support/subject_process.h"

namespace OrvikTest {
namespace {

constexpr const char* kInject = "inject_detect_terminate";
constexpr const char* kHollow = "hollow_detect_terminate";
const std::string kContextLine = "0:Thread context acquired successfully";

std::string SuspiciousLine(std::uint64_t address) {
    char text[64];
    std::snprintf(text, sizeof text, "0:Stack contains suspicious PC 0x%llx", static_cast<unsigned long long>(address));
    return text;
}

// Opened before a check, so that the id cannot name another thread afterwards.
Common::UniqueHandle Watch(std::uint64_t tid) {
    return Common::UniqueHandle(OpenThread(SYNCHRONIZE | THREAD_SUSPEND_RESUME | THREAD_QUERY_LIMITED_INFORMATION,
                                           FALSE, static_cast<DWORD>(tid)));
}

// Running, and not left suspended by a check.
bool Running(const Common::UniqueHandle& thread) {
    const DWORD previous = SuspendThread(thread.Get());
    ResumeThread(thread.Get());
    return WaitForSingleObject(thread.Get(), 0) == WAIT_TIMEOUT && previous == 0;
}

// Ended with exit code 0 (the wait bound only keeps a failing run finite).
bool Terminated(const Common::UniqueHandle& thread) {
    DWORD code = 1;
    return WaitForSingleObject(thread.Get(), 10000) == WAIT_OBJECT_0 && GetExitCodeThread(thread.Get(), &code) &&
           code == 0;
}

class ThreadStart : public ModuleTest {
protected:
    CallResult Check(const char* function, std::uint64_t tid, std::uint64_t pid, std::int64_t terminate) {
        return Call(function, {Arg::Int("tid", static_cast<std::int64_t>(tid)),
                               Arg::Int("pid", static_cast<std::int64_t>(pid)), Arg::Int("terminate", terminate)});
    }
    // A module with a name longer than MAX_PATH, which Wine's symbol handler
    // cannot register (error 3): the scan goes on without it.
    const test::TempDir dir_;
    const std::string long_dll_ = LongPathCopy(dir_, "version_en.dll");
    SubjectProcess subject_{{"rwx-spin", "rwx-callout", "rwx-nocache-spin", "worker", "load=" + long_dll_}};
    const std::string skip_line_ = "2:Module '" + long_dll_.substr(4) + "' skipped. ERROR: 3\n";
    const std::uint64_t spin_ = subject_.Number("rwx_spin_thread"), callout_ = subject_.Number("rwx_callout_thread"),
                        worker_ = subject_.Number("worker_thread");
    const Common::UniqueHandle spin_thread_ = Watch(spin_), callout_thread_ = Watch(callout_),
                               worker_thread_ = Watch(worker_);
};

TEST_F(ThreadStart, InjectFindsThreadsStartedInWritableCodeAndEndsOnlyThoseOnRequest) {
    // Only the low 32 bits of each argument count: terminate 1 << 32 is no request.
    for (const std::uint64_t tid : {spin_, callout_}) {
        const CallResult r = Check(kInject, tid | 1ull << 32, subject_.Pid() | 1ull << 32, 1ll << 32);
        EXPECT_EQ(r.result, 1) << tid;
        EXPECT_TRUE(r.log.empty()) << tid;
    }
    // Ordinary code, and writable code whose protection carries a modifier bit.
    for (const std::uint64_t tid : {worker_, subject_.Number("rwx_nocache_spin_thread")}) {
        const CallResult r = Check(kInject, tid, subject_.Pid(), 1);
        EXPECT_EQ(r.result, 0) << tid;
        EXPECT_TRUE(r.log.empty()) << tid;
    }
    EXPECT_TRUE(Running(spin_thread_) && Running(callout_thread_) && Running(worker_thread_));

    CallResult r = Check(kInject, spin_, subject_.Pid(), 1);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(LogLines(r.log), (Strings{"0:Thread was terminated"}));
    EXPECT_TRUE(Terminated(spin_thread_));
    EXPECT_TRUE(Running(callout_thread_) && Running(worker_thread_));
}

TEST_F(ThreadStart, HollowFindsWritableCodeAtTheInstructionOrAsAReturnAddress) {
    // Spinning: the instruction pointer itself, for which the walk gives no frame.
    CallResult r = Check(kHollow, spin_, subject_.Pid(), 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(LogLines(r.log),
              (Strings{kContextLine, skip_line_, SuspiciousLine(subject_.Address("rwx_spin_address"))}));
    for (const std::uint64_t tid : {worker_, subject_.Number("rwx_nocache_spin_thread")}) {
        r = Check(kHollow, tid, subject_.Pid(), 1);
        EXPECT_EQ(r.result, 0) << tid;
        EXPECT_EQ(LogLines(r.log), (Strings{kContextLine, skip_line_, "0:No suspicious address found on stack"})) << tid;
    }
    EXPECT_TRUE(Running(spin_thread_) && Running(worker_thread_));

    // Calling Sleep: the address the call returns to, at page offset 21.
    r = Check(kHollow, callout_, subject_.Pid(), 1);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(LogLines(r.log), (Strings{kContextLine, skip_line_,
                                        SuspiciousLine(subject_.Address("rwx_callout_address") + 21),
                                        "0:Thread was terminated"}));
    EXPECT_TRUE(Terminated(callout_thread_));
    EXPECT_TRUE(Running(spin_thread_) && Running(worker_thread_));

    // The calling thread itself is examined without suspending it.
    r = Check(kHollow, GetCurrentThreadId(), GetCurrentProcessId(), 1);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(LogLines(r.log), (Strings{kContextLine, "0:No suspicious address found on stack"}));
}

TEST_F(ThreadStart, ThreadsThatCannotBeOpenedOrBelongElsewhereGiveMinusOneWithTheirMessage) {
    const std::string pid = std::to_string(subject_.Pid()), self = std::to_string(GetCurrentProcessId());
    for (const char* function : {kInject, kHollow}) {
        CallResult r = Check(function, 0, subject_.Pid(), 1);
        EXPECT_EQ(r.result, -1) << function;
        EXPECT_EQ(LogLines(r.log),
                  (Strings{"2:Failed to acquire thread handle for pid: " + pid + ", tid: 0. Error: 87"}));

        // A suspicious thread named with another process: neither judged nor ended.
        r = Check(function, spin_, GetCurrentProcessId(), 1);
        EXPECT_EQ(r.result, -1) << function;
        EXPECT_EQ(LogLines(r.log), (Strings{"2:Thread tid: " + std::to_string(spin_) + " belongs to pid: " + pid +
                                            ", not to pid: " + self}));
    }
    EXPECT_TRUE(Running(spin_thread_));
}

}  // namespace
}  // namespace OrvikTest
