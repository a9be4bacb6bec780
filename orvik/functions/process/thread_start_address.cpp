#include "thread_start_address.h"

#include "common/system_procedure.h"

namespace ScanEngine::Process {
namespace {

using QueryInformationThread = LONG(NTAPI*)(HANDLE thread, ULONG information_class, void* information, ULONG length,
                                            ULONG* returned);
constexpr ULONG kThreadStartAddressClass = 9;

}  // namespace

std::optional<std::uint64_t> QueryThreadStartAddress(HANDLE thread) {
    const auto query = Common::SystemProcedure<QueryInformationThread>(L"ntdll.dll", "NtQueryInformationThread");
    if (query == nullptr) return std::nullopt;
    std::uint64_t start = 0;
    if (query(thread, kThreadStartAddressClass, &start, sizeof start, nullptr) < 0) return 0;
    return start;
}

}  // namespace ScanEngine::Process
