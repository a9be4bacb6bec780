#include "target_process.h"

namespace ScanEngine::Policy {

std::int32_t PidOfProcess(Invocation& call, std::uint64_t puid, std::uint64_t& pid) {
    const auto current_uid = call.call.ProcessUid();
    if (current_uid && *current_uid == puid) {
        if (const auto current_pid = call.call.ProcessId()) {
            pid = *current_pid;
            return 0;
        }
    }
    pid = 0;
    return call.call.ResolveProcessId(puid, pid);
}

}  // namespace ScanEngine::Policy
