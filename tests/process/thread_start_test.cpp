// inject_detect_terminate and hollow_detect_terminate on real threads of a
// subject process: in writable executable memory (spinning there, or calling
// out of it) and in ordinary code.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

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

using ThreadStart = ModuleTest;

TEST_F(ThreadStart, BothChecksFindWritableCodeJudgeOnlyTheNamedProcessAndEndOnlyWhatTheyFindOnRequest) {
    // A module with a name longer than MAX_PATH, which Wine's symbol handler
    // cannot register (error 3): the scan goes on without it.
    const test::TempDir dir;
    const std::string long_dll = LongPathCopy(dir, "version_en.dll");
    SubjectProcess subject({"rwx-spin", "rwx-callout", "rwx-nocache-spin", "worker", "load=" + long_dll});
    const std::uint64_t pid = subject.Pid(), self = GetCurrentProcessId(), spin = subject.Number("rwx_spin_thread"),
                        callout = subject.Number("rwx_callout_thread"), worker = subject.Number("worker_thread"),
                        nocache = subject.Number("rwx_nocache_spin_thread");
    const Common::UniqueHandle spin_thread = Watch(spin), callout_thread = Watch(callout),
                               worker_thread = Watch(worker);
    const std::string skip = "2:Module '" + long_dll.substr(4) + "' skipped. ERROR: 3\n",
                      none = "0:No suspicious address found on stack", ended = "0:Thread was terminated",
                      elsewhere = "2:Thread tid: " + std::to_string(spin) + " belongs to pid: " + std::to_string(pid) +
                                  ", not to pid: " + std::to_string(self),
                      unopened =
                          "2:Failed to acquire thread handle for pid: " + std::to_string(pid) + ", tid: 0. Error: 87";
    const struct {
        const char* function;
        std::uint64_t tid, pid;
        std::int64_t terminate, result;
        Strings log;
        const Common::UniqueHandle* ends = nullptr;
    } cases[] = {
        // Threads that cannot be opened, or a suspicious one named with another process: neither judged nor ended.
        {kInject, 0, pid, 1, -1, {unopened}}, {kHollow, 0, pid, 1, -1, {unopened}},
        {kInject, spin, self, 1, -1, {elsewhere}}, {kHollow, spin, self, 1, -1, {elsewhere}},
        // Only the low 32 bits of each argument count: terminate 1 << 32 is no request.
        {kInject, spin | 1ull << 32, pid | 1ull << 32, 1ll << 32, 1, {}},
        {kInject, callout | 1ull << 32, pid | 1ull << 32, 1ll << 32, 1, {}},
        // Ordinary code, and writable code whose protection carries a modifier bit.
        {kInject, worker, pid, 1, 0, {}}, {kInject, nocache, pid, 1, 0, {}},
        {kHollow, worker, pid, 1, 0, {kContextLine, skip, none}},
        {kHollow, nocache, pid, 1, 0, {kContextLine, skip, none}},
        // Spinning at page offset 7: the instruction pointer itself, for which
        // the walk gives no frame.
        {kHollow, spin, pid, 0, 1, {kContextLine, skip, SuspiciousLine(subject.Address("rwx_spin_address") + 7)}},
        // Calling Sleep: the address the call returns to, at page offset 28.
        {kHollow, callout, pid, 1, 1,
         {kContextLine, skip, SuspiciousLine(subject.Address("rwx_callout_address") + 28), ended}, &callout_thread},
        {kInject, spin, pid, 1, 1, {ended}, &spin_thread},
        // The calling thread itself is examined without suspending it.
        {kHollow, GetCurrentThreadId(), self, 1, 0, {kContextLine, none}},
    };
    std::set<const Common::UniqueHandle*> ended_threads;
    for (const auto& c : cases) {
        const CallResult r = Call(c.function, {Arg::Int("tid", static_cast<std::int64_t>(c.tid)),
                                               Arg::Int("pid", static_cast<std::int64_t>(c.pid)),
                                               Arg::Int("terminate", c.terminate)});
        EXPECT_EQ(std::pair(r.result, LogLines(r.log)), std::pair(c.result, c.log)) << c.function << " " << c.tid;
        if (c.ends != nullptr) {
            EXPECT_TRUE(Terminated(*c.ends)) << c.tid;
            ended_threads.insert(c.ends);
        }
        for (const Common::UniqueHandle* thread : {&spin_thread, &callout_thread, &worker_thread})
            EXPECT_TRUE(ended_threads.count(thread) != 0 || Running(*thread)) << c.function << " " << c.tid;
    }
}

}  // namespace
}  // namespace OrvikTest
