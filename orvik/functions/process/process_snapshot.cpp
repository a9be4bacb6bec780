// The list of running processes with their parents and start times, taken
// from the system itself rather than from the host's process cache.
#include <windows.h>

#include <tlhelp32.h>

#include <string>

#include "common/format_string.h"
#include "common/unique_handle.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/failed_call.h"
#include "orvik/functions/handlers.h"
#include "snapshot_text.h"

namespace ScanEngine::Process {
namespace {

using Common::FormatString;

// The process's start time, or 0 when it cannot be read.
std::uint64_t ProcessStartTime(const CallContextRef& call, DWORD pid) {
    const Common::UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process) {
        LogFailedCall(call, kLogError, "OpenProcess failed with error code %d, for PID %d \n", static_cast<int>(pid));
        return 0;
    }
    FILETIME creation{}, exit{}, kernel{}, user{};
    if (!GetProcessTimes(process.Get(), &creation, &exit, &kernel, &user)) return 0;
    return StartTimeFromFileTime((static_cast<std::uint64_t>(creation.dwHighDateTime) << 32) |
                                 creation.dwLowDateTime);
}

}  // namespace

std::int64_t GetProcSnapshot(Invocation& call) {
    const auto snapshot_out = call.args.GetStringAddress(arg::proc_snapshot);

    const Common::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return static_cast<std::int32_t>(
            LogFailedCall(call.context, kLogError, "CreateToolhelp32Snapshot (of processes) failed with error code %d\n"));
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    if (!Process32FirstW(snapshot.Get(), &entry)) {
        return static_cast<std::int32_t>(
            LogFailedCall(call.context, kLogError, "Process32First failed with error code %d\n"));
    }

    std::string text;
    do {
        const DWORD pid = entry.th32ProcessID;
        const DWORD parent = entry.th32ParentProcessID;
        // The idle process, and processes whose parent the system does not name.
        if (pid == 0 || parent == 0) continue;
        const std::uint64_t start = ProcessStartTime(call.context, pid);
        if (start == 0)
            call.context.Log(kLogError, FormatString("GetProcessStartime failed for PID %d\n", static_cast<int>(pid)));
        const std::uint64_t parent_start = ProcessStartTime(call.context, parent);
        if (parent_start == 0)
            call.context.Log(kLogError,
                             FormatString("GetProcessStartime failed for ParentPID %d\n", static_cast<int>(parent)));
        AppendSnapshotItem(text, pid, start, parent, parent_start);
    } while (Process32NextW(snapshot.Get(), &entry));

    snapshot_out.Assign(text);
    return 0;
}

}  // namespace ScanEngine::Process
