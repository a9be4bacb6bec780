#include "target_process.h"

namespace ScanEngine::Policy {

std::int32_t PidOfProcess(Invocation& call, std::uint64_t puid, std::uint64_t& pid) {
    const auto current_uid = call.context.ProcessUid();
    if (current_uid && *current_uid == puid) {
        if (const auto current_pid = call.context.ProcessId()) {
            pid = *current_pid;
            return 0;
        }
    }
    pid = 0;
    return call.context.ResolveProcessId(puid, pid);
}

}  // namespace ScanEngine::Policy
