// Acting on one process given by its id, or asking about it: termination
// (done by the host), the kernel's security logging switch, whether it is a
// packaged application, and the file names of its loaded modules.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/format_string.h"
#include "common/system_procedure.h"
#include "common/unique_handle.h"
#include "common/utf.h"
#include "common/windows_error.h"
#include "growing_list.h"
#include "load_time_apis.h"
#include "module_file_name.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/host_objects.h"
#include "orvik/functions/handlers.h"

namespace ScanEngine::Process {
namespace {

using Common::FormatString;

// ProcessEnableLoggingInformation: which security events the kernel logs
// for the process.
constexpr ULONG kProcessLoggingClass = 96;
constexpr DWORD kFirstBuildWithLogging = 17763;
constexpr DWORD kFirstBuildWithMoreLoggingFlags = 22000;
constexpr std::int64_t kNotSupported = ERROR_NOT_SUPPORTED;  // 50

struct SystemVersion {
    DWORD major = 0;
    DWORD build = 0;
};

// The real version: the compatibility layer does not adjust this call.
std::optional<SystemVersion> ReadSystemVersion() noexcept {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto get_version = Common::SystemProcedure<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion");
    if (get_version == nullptr) return std::nullopt;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (get_version(&info) < 0) return std::nullopt;
    return SystemVersion{info.dwMajorVersion, info.dwBuildNumber};
}

// Read on first use and kept, a failure included; concurrent first uses wait
// for the one that reads.
const std::optional<SystemVersion>& CachedSystemVersion() noexcept {
    static const std::optional<SystemVersion> version = ReadSystemVersion();
    return version;
}

bool SupportsProcessLogging(const std::optional<SystemVersion>& version) {
    return version && version->major >= 10 && version->build >= kFirstBuildWithLogging;
}

// The NT status of the setting, or the Windows error of finding the call.
std::int32_t SetLoggingFlags(HANDLE process, std::uint32_t flags) {
    using NtSetInformationProcessFn = LONG(NTAPI*)(HANDLE, ULONG, void*, ULONG);
    const auto set_information =
        Common::SystemProcedure<NtSetInformationProcessFn>(L"ntdll.dll", "NtSetInformationProcess");
    if (set_information == nullptr) return static_cast<std::int32_t>(GetLastError());
    ULONG value = flags;
    return set_information(process, kProcessLoggingClass, &value, sizeof value);
}

// Handles of the process's modules, as many as it has; the initial list
// holds 1024 and is enlarged for processes with more.
std::optional<std::vector<HMODULE>> EnumerateModules(HANDLE process) {
    return EnumerateGrowing<HMODULE>(
        [process](HMODULE* modules, std::size_t capacity, std::size_t& available) {
            // Never more than the list holds, even where the byte count overflows.
            const auto offered = static_cast<DWORD>(std::min<std::size_t>(capacity, MAXDWORD / sizeof(HMODULE)) *
                                                    sizeof(HMODULE));
            DWORD needed = 0;
            if (!K32EnumProcessModules(process, modules, offered, &needed)) return false;
            available = needed / sizeof(HMODULE);
            return true;
        },
        1024);
}

}  // namespace

std::int64_t TerminateProcessByHost(Invocation& call) {
    const auto pid = static_cast<std::uint32_t>(call.args.GetInteger(arg::pid));
    Abi::HostError* raw_error = nullptr;
    const std::int32_t status = call.library.TerminateProcessById(pid, &raw_error);
    // Released once when the call ends, also when the host sets one on success.
    const HostErrorObject error(raw_error);
    if (status == 0) {
        call.context.Log(kLogInfo, FormatString("Successfully terminated process '%d'", static_cast<int>(pid)));
        return 0;
    }
    // A host that fails without an error object still gets its line.
    const std::string message = error ? HostErrorMessage(error.Get()) : "unknown error";
    call.context.Log(kLogError, FormatString("Failed to terminate process '%d' : '%s' - Result: %d",
                                             static_cast<int>(pid), message.c_str(), status));
    return status;
}

std::optional<std::int64_t> SetProcessLoggingGate() noexcept {
    if (!SupportsProcessLogging(CachedSystemVersion())) return kNotSupported;
    return std::nullopt;
}

std::int64_t SetProcessLogging(Invocation& call) {
    const auto pid = static_cast<std::uint32_t>(call.args.GetInteger(arg::pid));
    const auto flags = static_cast<std::uint32_t>(call.args.GetInteger(arg::flags));
    const std::optional<SystemVersion>& version = CachedSystemVersion();
    // The gate has let the call through, so the version is known.
    if (!SupportsProcessLogging(version)) return kNotSupported;
    const std::uint32_t masked = flags & (version->build >= kFirstBuildWithMoreLoggingFlags ? 0x7Fu : 0xFu);
    // Written before the attempt: the rule learns what was asked for even
    // when the setting then fails.
    if (call.args.IsGiven(arg::enabled)) call.args.GetIntegerAddress(arg::enabled).Assign(masked);

    Common::UniqueHandle process(OpenProcess(PROCESS_SET_INFORMATION, FALSE, pid));
    if (!process) {
        const DWORD error = GetLastError();
        call.context.Log(kLogError, FormatString("OpenProcess for PID %d failed with error code %d\n",
                                                 static_cast<int>(pid), static_cast<int>(error)));
        return static_cast<std::int32_t>(error);
    }
    const std::int32_t status = SetLoggingFlags(process.Get(), masked);
    process.Reset();
    if (status == 0) return 0;
    call.context.Log(kLogError, FormatString("Enable logging for PID %d failed with error code %d(0x%x)\n",
                                             static_cast<int>(pid), status, static_cast<unsigned>(status)));
    return status;
}

std::int64_t CheckIsUwp(Invocation& call) {
    const auto pid = static_cast<std::uint32_t>(call.args.GetInteger(arg::pid));
    const LoadTimeApis::GetApplicationUserModelIdFn get_id = LoadedApis().get_application_user_model_id;
    // No packaged applications on this system: nothing to open.
    if (get_id == nullptr) return 0;

    Common::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) {
        const DWORD error = GetLastError();
        call.context.Log(kLogWarning, FormatString("UWP check: cannot open process handle for pid=%u: %s", pid,
                                                   Common::FormatWindowsError(error).c_str()));
        return -1;
    }
    // With no room for the id, "buffer too small" means there is one.
    UINT32 length = 0;
    const LONG answer = get_id(process.Get(), &length, nullptr);
    process.Reset();
    return answer == ERROR_INSUFFICIENT_BUFFER ? 1 : 0;
}

std::int64_t GetLoadedModules(Invocation& call) {
    const auto pid = static_cast<std::uint32_t>(call.args.GetInteger(arg::pid));
    const auto modules_out = call.args.GetStringAddress(arg::modules);

    Common::UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return 0;
    const std::optional<std::vector<HMODULE>> modules = EnumerateModules(process.Get());
    if (!modules) {
        modules_out.Assign("", 0);
        return 0;
    }

    std::string text;
    std::int64_t count = 0;
    for (const HMODULE module : *modules) {
        const std::wstring name = ModuleFileName(process.Get(), module);
        if (name.empty()) continue;
        text += Common::WideToUtf8(name.data(), name.size());
        text += "::";
        ++count;
    }
    modules_out.Assign(text);
    return count;
}

}  // namespace ScanEngine::Process
