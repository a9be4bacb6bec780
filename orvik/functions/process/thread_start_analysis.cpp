// Two checks on one thread of another process, each able to end the thread:
// does it start in memory that is writable and executable at once (injected
// code), and does its call stack pass through such memory (a hollowed or
// patched process)? Only a current protection of exactly
// PAGE_EXECUTE_READWRITE counts; a modifier bit makes it another value.
#include <windows.h>
// dbghelp.h needs the types of windows.h.
#include <dbghelp.h>
#include <psapi.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "common/format_string.h"
#include "common/scope_exit.h"
#include "common/srw_lock.h"
#include "common/unique_handle.h"
#include "common/utf.h"
#include "module_file_name.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/failed_call.h"
#include "orvik/functions/handlers.h"
#include "thread_start_address.h"

namespace ScanEngine::Process {
namespace {

using Common::FormatString;
using Common::UniqueHandle;

constexpr DWORD kSuspiciousProtection = PAGE_EXECUTE_READWRITE;
constexpr DWORD kContextThreadAccess = THREAD_GET_CONTEXT | THREAD_SUSPEND_RESUME | THREAD_QUERY_INFORMATION;
constexpr DWORD kStackProcessAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
// Control, integer and floating-point registers of an x64 context.
constexpr DWORD kContextFlags = 0x10000B;
// Module handles the first listing has room for; a longer list is fetched again.
constexpr std::size_t kModuleSlots = 8096;
// A stack that the walk cannot leave (a cycle in hostile stack data) ends here.
constexpr std::size_t kMaxFrames = 1u << 16;
constexpr DWORD kNoSymbolLoad = 0x4;

struct ThreadTarget {
    std::uint32_t tid;
    std::uint32_t pid;
    bool terminate;
};

ThreadTarget ReadTarget(const ArgParse& args) {
    return {static_cast<std::uint32_t>(args.GetInteger(arg::tid)),
            static_cast<std::uint32_t>(args.GetInteger(arg::pid)),
            static_cast<std::uint32_t>(args.GetInteger(arg::terminate)) != 0};
}

// Ids and error codes appear in the messages as signed decimals.
int AsInt(std::uint32_t value) { return static_cast<int>(value); }

void LogNoThreadHandle(const CallContextRef& call, const ThreadTarget& target, DWORD error) {
    call.Log(kLogError, FormatString("Failed to acquire thread handle for pid: %d, tid: %d. Error: %d",
                                     AsInt(target.pid), AsInt(target.tid), AsInt(error)));
}

void LogNoProcessHandle(const CallContextRef& call, DWORD error) {
    call.Log(kLogError, FormatString("Failed to acquire process handle. Error: %d", AsInt(error)));
}

// The symbol handler keeps per-process state of its own and is not safe to
// use from several threads at once: every step of it runs under this lock.
Common::SrwLock& StackScanLock() {
    static Common::SrwLock lock;
    return lock;
}

struct ModuleImage {
    std::wstring path;
    std::wstring name;
    DWORD64 base;
    DWORD size;
};

// A module that cannot be handed to the symbol handler is left out: the walk
// then knows less about its frames, which is better than no walk at all.
void LogSkippedModule(const CallContextRef& call, const std::string& which, DWORD error) {
    call.Log(kLogError, FormatString("Module %s skipped. ERROR: %d\n", which.c_str(), AsInt(error)));
}

// Every module of the process whose place and names can be read; nothing
// when the listing fails (`error` then says why).
std::optional<std::vector<ModuleImage>> ListModules(HANDLE process, const CallContextRef& call, DWORD& error) {
    std::vector<HMODULE> handles(kModuleSlots);
    for (int attempt = 0;; ++attempt) {
        DWORD needed = 0;
        if (!K32EnumProcessModules(process, handles.data(), static_cast<DWORD>(handles.size() * sizeof(HMODULE)),
                                   &needed)) {
            error = GetLastError();
            return std::nullopt;
        }
        const std::size_t count = needed / sizeof(HMODULE);
        // More modules than slots: enlarge and list again; a process that
        // keeps loading modules is held to what fits after a few rounds.
        if (count <= handles.size() || attempt == 3) {
            handles.resize(std::min(count, handles.size()));
            break;
        }
        handles.resize(count);
    }

    std::vector<ModuleImage> modules;
    modules.reserve(handles.size());
    for (const HMODULE handle : handles) {
        MODULEINFO info{};
        std::wstring path;
        // A base name is one path component, which is never longer than this.
        wchar_t name[MAX_PATH] = {};
        if (!K32GetModuleInformation(process, handle, &info, sizeof info) ||
            (path = ModuleFileName(process, handle)).empty() ||
            K32GetModuleBaseNameW(process, handle, name, MAX_PATH) == 0) {
            const DWORD failure = GetLastError();
            LogSkippedModule(call, FormatString("at 0x%llx", reinterpret_cast<unsigned long long>(handle)), failure);
            continue;
        }
        modules.push_back({std::move(path), name, reinterpret_cast<DWORD64>(info.lpBaseOfDll), info.SizeOfImage});
    }
    return modules;
}

// Hands the modules to the symbol handler (names and places only, no
// symbols) so that the walk finds their unwind data.
void RegisterModules(HANDLE process, const std::vector<ModuleImage>& modules, const CallContextRef& call) {
    for (const ModuleImage& module : modules) {
        if (SymLoadModuleExW(process, nullptr, module.path.c_str(), module.name.c_str(), module.base, module.size,
                             nullptr, kNoSymbolLoad) == 0) {
            // 0 with no error: the module was registered already.
            if (const DWORD error = GetLastError(); error != ERROR_SUCCESS)
                LogSkippedModule(call, "'" + Common::WideToUtf8(module.path.data(), module.path.size()) + "'", error);
        }
    }
}

enum class Verdict { Clean, Suspicious, Failed };

// Checks one address of the stack; logs what decides the scan. A return
// address that cannot be queried decides nothing: should the walk reach it,
// it is checked again as that frame's program counter.
Verdict CheckAddress(HANDLE process, DWORD64 address, bool is_return_address, const CallContextRef& call) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQueryEx(process, reinterpret_cast<LPCVOID>(address), &region, sizeof region) == 0) {
        if (is_return_address) return Verdict::Clean;
        LogFailedCall(call, kLogError, "VirtualQuery returned 0 bytes. Error: %d");
        return Verdict::Failed;
    }
    if (region.Protect != kSuspiciousProtection) return Verdict::Clean;
    call.Log(kLogInfo, FormatString("Stack contains suspicious PC 0x%llx", static_cast<unsigned long long>(address)));
    return Verdict::Suspicious;
}

// Does the thread's stack, from its current instruction on, pass through
// writable and executable memory? Every failure counts as no.
bool ScanStack(const CONTEXT& captured, HANDLE process, HANDLE thread, const CallContextRef& call) {
    {
        Common::SrwLock::Exclusive hold(StackScanLock());
        if (!SymInitializeW(process, nullptr, FALSE)) {
            LogFailedCall(call, kLogError, "SymInitialize failed. ERROR: %d\n");
            return false;
        }
    }

    // Listing the modules asks only the system; it needs no lock.
    DWORD error = 0;
    const auto modules = ListModules(process, call, error);

    Common::SrwLock::Exclusive hold(StackScanLock());
    // The session ends before the lock is let go.
    const Common::ScopeExit end_session([process] { SymCleanup(process); });
    if (!modules) {
        call.Log(kLogError, FormatString("Load modules failed. ERROR: %d\n", AsInt(error)));
        return false;
    }
    RegisterModules(process, *modules, call);

    // Code written into memory has no unwind data, and the walk gives no
    // frame for it: the instruction the thread stands on is checked first,
    // and with every frame the address it returns to, which is where code
    // that called out of such memory shows.
    if (const Verdict verdict = CheckAddress(process, captured.Rip, false, call); verdict != Verdict::Clean)
        return verdict == Verdict::Suspicious;

    CONTEXT context = captured;  // the walk moves it up the stack
    STACKFRAME64 frame{};
    frame.AddrPC.Offset = context.Rip;
    frame.AddrPC.Mode = AddrModeFlat;
    frame.AddrFrame.Offset = context.Rbp;
    frame.AddrFrame.Mode = AddrModeFlat;
    frame.AddrStack.Offset = context.Rsp;
    frame.AddrStack.Mode = AddrModeFlat;
    for (std::size_t n = 0;
         n < kMaxFrames && StackWalk64(IMAGE_FILE_MACHINE_AMD64, process, thread, &frame, &context, nullptr,
                                       SymFunctionTableAccess64, SymGetModuleBase64, nullptr);
         ++n) {
        for (const auto& [address, is_return] :
             {std::pair{frame.AddrPC.Offset, false}, std::pair{frame.AddrReturn.Offset, true}}) {
            if (const Verdict verdict = CheckAddress(process, address, is_return, call); verdict != Verdict::Clean)
                return verdict == Verdict::Suspicious;
        }
    }
    return false;
}

bool TerminateTarget(std::uint32_t tid, const CallContextRef& call) {
    const UniqueHandle thread(OpenThread(THREAD_TERMINATE, FALSE, tid));
    if (!thread) {
        call.Log(kLogError, FormatString("Failed to acquire thread handle for tid: %d for termination. Error: %d",
                                         AsInt(tid), AsInt(GetLastError())));
        return false;
    }
    if (!TerminateThread(thread.Get(), 0)) {
        LogFailedCall(call, kLogError, "Failed to terminate thread. Error: %d");
        return false;
    }
    call.Log(kLogInfo, "Thread was terminated");
    return true;
}

// The registers of another thread, read while it is suspended; false when
// that fails (`error` then says why).
bool CaptureContext(HANDLE thread, CONTEXT& context, DWORD& error) {
    if (SuspendThread(thread) == static_cast<DWORD>(-1)) {
        error = GetLastError();
        return false;
    }
    const Common::ScopeExit resume([thread] { ResumeThread(thread); });
    context.ContextFlags = kContextFlags;
    const bool read = GetThreadContext(thread, &context) != FALSE;
    error = GetLastError();
    return read;
}

// A thread id may have been reused by a thread of another process since the
// rule saw it: that thread is neither judged against `pid`'s memory nor ended.
bool BelongsToTarget(HANDLE thread, const ThreadTarget& target, const CallContextRef& call) {
    const DWORD owner = GetProcessIdOfThread(thread);
    if (owner == 0) {
        call.Log(kLogError, FormatString("Failed to get the process of tid: %d. Error: %d", AsInt(target.tid),
                                         AsInt(GetLastError())));
        return false;
    }
    if (owner == target.pid) return true;
    call.Log(kLogError, FormatString("Thread tid: %d belongs to pid: %d, not to pid: %d", AsInt(target.tid),
                                     AsInt(owner), AsInt(target.pid)));
    return false;
}

}  // namespace

std::int64_t InjectDetectTerminate(Invocation& call) {
    const ThreadTarget target = ReadTarget(call.args);
    const UniqueHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, target.tid));
    if (!thread) {
        LogNoThreadHandle(call.context, target, GetLastError());
        return -1;
    }
    if (!BelongsToTarget(thread.Get(), target, call.context)) return -1;
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, target.pid));
    if (!process) {
        LogNoProcessHandle(call.context, GetLastError());
        return -1;
    }

    // Without the query the address is one no region holds.
    const std::uint64_t start = QueryThreadStartAddress(thread.Get()).value_or(~std::uint64_t{0});
    if (start == 0) {
        call.context.Log(kLogError, "Failed to get thread start address");
        return -1;
    }
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQueryEx(process.Get(), reinterpret_cast<LPCVOID>(start), &region, sizeof region) == 0) {
        LogFailedCall(call.context, kLogError, "VirtualQuery returned 0 bytes. Error: %d");
        return -1;
    }
    if (region.Protect != kSuspiciousProtection) return 0;
    if (!target.terminate) return 1;

    // Whether the thread may be ended at all, before trying it.
    if (!UniqueHandle(OpenThread(THREAD_TERMINATE, FALSE, target.tid))) {
        call.context.Log(kLogError,
                         FormatString("Failed to acquire thread handle for pid: %d, tid: %d for termination. Error: %d",
                                   AsInt(target.pid), AsInt(target.tid), AsInt(GetLastError())));
        return 1;
    }
    if (!TerminateTarget(target.tid, call.context)) call.context.Log(kLogError, "Failed to terminate the thread");
    return 1;
}

std::int64_t HollowDetectTerminate(Invocation& call) {
    const ThreadTarget target = ReadTarget(call.args);
    const UniqueHandle thread(OpenThread(kContextThreadAccess, FALSE, target.tid));
    if (!thread) {
        LogNoThreadHandle(call.context, target, GetLastError());
        return -1;
    }
    if (!BelongsToTarget(thread.Get(), target, call.context)) return -1;

    CONTEXT context{};
    DWORD error = 0;
    // A thread cannot suspend itself and go on: the calling thread reads its
    // own registers, here, so that the frames they point at stay live during
    // the scan.
    if (target.tid == GetCurrentThreadId()) {
        RtlCaptureContext(&context);
    } else if (!CaptureContext(thread.Get(), context, error)) {
        call.context.Log(kLogInfo, FormatString("Failed to acquire context. ERROR %d", AsInt(error)));
        return -1;
    }
    call.context.Log(kLogInfo, "Thread context acquired successfully");

    const UniqueHandle process(OpenProcess(kStackProcessAccess, FALSE, target.pid));
    if (!process) {
        LogNoProcessHandle(call.context, GetLastError());
        return -1;
    }

    const bool suspicious = ScanStack(context, process.Get(), thread.Get(), call.context);
    if (!suspicious) {
        call.context.Log(kLogInfo, "No suspicious address found on stack");
    } else if (target.terminate && !TerminateTarget(target.tid, call.context)) {
        call.context.Log(kLogError, "Failed to terminate the thread");
    }
    return suspicious ? 1 : 0;
}

}  // namespace ScanEngine::Process
