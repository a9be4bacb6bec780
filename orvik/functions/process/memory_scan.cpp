// The memory of the process behind the call: a scan done by the host, and a
// statistic the module collects from the system itself (modules with their
// sections, private memory, thread starts, TCP endpoints) for rules to read.
#include <winsock2.h>
#include <windows.h>
// After windows.h, which they build on.
#include <iphlpapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cwchar>
#include <iterator>

#include "common/unique_handle.h"
#include "common/utf.h"
#include "memory_statistic_text.h"
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include "thread_start_address.h"

namespace ScanEngine::Process {
namespace {

using Common::UniqueFile;
using Common::UniqueHandle;

enum ScanMode : std::uint32_t { kModuleScan = 0, kSectionScan = 1 };

constexpr DWORD kStatisticProcessAccess = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
constexpr std::uint64_t kUpperBoundWow64 = 0x7FFEFFFF;
constexpr std::uint64_t kUpperBound = 0x7FFFFFEFFFF;
constexpr std::uint64_t kEmptyRegionStep = 4096;

// Current protection at `address`, 0 when it cannot be queried.
std::uint32_t ProtectionAt(HANDLE process, std::uint64_t address) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQueryEx(process, reinterpret_cast<LPCVOID>(address), &region, sizeof region) != sizeof region) return 0;
    return region.Protect;
}

std::vector<SectionEntry> ListSections(HANDLE process, std::uint64_t base, std::uint64_t size) {
    if (size < kHeaderPageSize) return {};
    std::array<std::uint8_t, kHeaderPageSize> page{};
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<LPCVOID>(base), page.data(), page.size(), &read) ||
        read != page.size())
        return {};
    std::vector<SectionEntry> sections;
    for (SectionHeader& header : ReadSectionHeaders(page)) {
        const std::uint32_t protection = ProtectionAt(process, base + header.relative_address);
        sections.push_back({std::move(header), protection});
    }
    return sections;
}

// `process` is null when the process could not be opened: the modules are
// then listed without sections.
std::vector<ModuleEntry> ListModules(DWORD pid, HANDLE process) {
    // A module snapshot of id 0 would describe the calling process.
    if (pid == 0) return {};
    const UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
    if (!snapshot) return {};
    std::vector<ModuleEntry> modules;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32FirstW(snapshot.Get(), &entry); more; more = Module32NextW(snapshot.Get(), &entry)) {
        ModuleEntry module;
        module.name = Common::WideToUtf8(entry.szModule, wcsnlen(entry.szModule, std::size(entry.szModule)));
        module.base = reinterpret_cast<std::uintptr_t>(entry.modBaseAddr);
        module.size = entry.modBaseSize;
        if (process != nullptr) module.sections = ListSections(process, module.base, module.size);
        modules.push_back(std::move(module));
    }
    return modules;
}

// Committed private regions below the user-mode bound of the process.
std::vector<RegionEntry> ListPrivateRegions(HANDLE process) {
    BOOL wow64 = FALSE;
    const std::uint64_t bound = IsWow64Process(process, &wow64) && wow64 ? kUpperBoundWow64 : kUpperBound;
    std::vector<RegionEntry> regions;
    std::uint64_t step = 0;
    for (std::uint64_t address = 0; address < bound;) {
        MEMORY_BASIC_INFORMATION region{};
        SetLastError(ERROR_SUCCESS);
        if (VirtualQueryEx(process, reinterpret_cast<LPCVOID>(address), &region, sizeof region) != sizeof region) {
            const DWORD error = GetLastError();
            if (error == ERROR_INVALID_PARAMETER || error == ERROR_ACCESS_DENIED) break;
            if (error != ERROR_SUCCESS) {
                // Past the failing place by the last step; there is none before the first region.
                const std::uint64_t skip = step != 0 ? step : kEmptyRegionStep;
                if (address + skip < address) break;
                address += skip;
                continue;
            }
            region = {};  // a short answer without an error: nothing there
        }
        step = region.RegionSize != 0 ? region.RegionSize : kEmptyRegionStep;
        if ((region.State & MEM_COMMIT) != 0 && (region.Type & MEM_PRIVATE) != 0) {
            regions.push_back({reinterpret_cast<std::uintptr_t>(region.BaseAddress),
                               reinterpret_cast<std::uintptr_t>(region.AllocationBase), region.AllocationProtect,
                               region.RegionSize, region.State, region.Protect});
        }
        if (address + step < address) break;
        address += step;
    }
    return regions;
}

std::vector<std::uint64_t> ListThreadStarts(DWORD pid) {
    const UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return {};
    std::vector<std::uint64_t> starts;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more; more = Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        const UniqueHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
        if (!thread) continue;
        starts.push_back(QueryThreadStartAddress(thread.Get()).value_or(0));
    }
    return starts;
}

// The IPv4 TCP endpoints the process owns, in table order.
std::vector<EndpointEntry> ListEndpoints(DWORD pid) {
    DWORD size = 0;
    if (GetExtendedTcpTable(nullptr, &size, FALSE, AF_INET, TCP_TABLE_OWNER_PID_ALL, 0) != ERROR_INSUFFICIENT_BUFFER)
        return {};
    // In DWORDs, for the table's alignment.
    std::vector<DWORD> buffer((static_cast<std::size_t>(size) + sizeof(DWORD) - 1) / sizeof(DWORD));
    DWORD fetched = static_cast<DWORD>(buffer.size() * sizeof(DWORD));
    if (buffer.empty() ||
        GetExtendedTcpTable(buffer.data(), &fetched, FALSE, AF_INET, TCP_TABLE_OWNER_PID_ALL, 0) != NO_ERROR)
        return {};
    const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
    // The count is held to the rows the buffer really has.
    const std::size_t room =
        (buffer.size() * sizeof(DWORD) - offsetof(MIB_TCPTABLE_OWNER_PID, table)) / sizeof(MIB_TCPROW_OWNER_PID);
    const std::size_t rows = std::min<std::size_t>(table->dwNumEntries, room);
    std::vector<EndpointEntry> endpoints;
    for (std::size_t i = 0; i < rows; ++i) {
        const MIB_TCPROW_OWNER_PID& row = table->table[i];
        if (row.dwOwningPid != pid) continue;
        endpoints.push_back({row.dwState, row.dwLocalAddr, PortFromTableField(row.dwLocalPort), row.dwRemoteAddr,
                             PortFromTableField(row.dwRemotePort)});
    }
    return endpoints;
}

MemoryStatistic CollectStatistic(DWORD pid) {
    // A process that cannot be opened still has its snapshots and table rows.
    const UniqueHandle process(OpenProcess(kStatisticProcessAccess, FALSE, pid));
    MemoryStatistic statistic;
    statistic.modules = ListModules(pid, process.Get());
    if (process) statistic.regions = ListPrivateRegions(process.Get());
    statistic.thread_starts = ListThreadStarts(pid);
    statistic.endpoints = ListEndpoints(pid);
    return statistic;
}

}  // namespace

std::int64_t MemoryScanItdt(Invocation& call) {
    const auto unique_key = static_cast<std::uint32_t>(call.args.GetInteger(arg::unique_key));
    // The mode the host receives decides which names it gets.
    const auto scan_mode = static_cast<std::uint32_t>(call.args.GetInteger(arg::scan_mode));
    const std::string section_name = scan_mode == kSectionScan ? call.args.GetString(arg::section_name) : "";
    const std::string module_name =
        scan_mode == kModuleScan || scan_mode == kSectionScan ? call.args.GetString(arg::module_name) : "";

    const auto uid = call.context.ProcessUid();
    if (!uid) {
        call.context.Log(kLogInfo, "MemoryScanItdt could not get UID");
        return -1;
    }
    const auto pid = call.context.ProcessId();
    if (!pid) {
        call.context.Log(kLogInfo, "MemoryScanItdt could not get PID");
        return -1;
    }
    return call.library.MemoryScanItdt(unique_key, *uid, static_cast<std::uint32_t>(*pid), scan_mode,
                                       module_name, section_name);
}

std::int64_t MemoryScanMlGetStatistic(Invocation& call) {
    const auto statistic = call.args.GetStringAddress(arg::statistic);
    const auto pid = call.context.ProcessId();
    if (!pid) {
        call.context.Log(kLogInfo, "MemoryScanMlGetStatistic could not get PID");
        return -1;
    }
    statistic.Assign(FormatMemoryStatistic(CollectStatistic(static_cast<DWORD>(*pid))));
    return 0;
}

}  // namespace ScanEngine::Process
