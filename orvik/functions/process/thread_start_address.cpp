#include "thread_start_address.h"

namespace ScanEngine::Process {
namespace {

using QueryInformationThread = LONG(NTAPI*)(HANDLE thread, ULONG information_class, void* information, ULONG length,
                                            ULONG* returned);
constexpr ULONG kThreadStartAddressClass = 9;

}  // namespace

std::optional<std::uint64_t> QueryThreadStartAddress(HANDLE thread) {
    // ntdll is mapped into every process for its whole life: no reference to
    // take or drop.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto query = ntdll ? reinterpret_cast<QueryInformationThread>(
                                   reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationThread")))
                             : nullptr;
    if (query == nullptr) return std::nullopt;
    std::uint64_t start = 0;
    if (query(thread, kThreadStartAddressClass, &start, sizeof start, nullptr) < 0) return 0;
    return start;
}

}  // namespace ScanEngine::Process
