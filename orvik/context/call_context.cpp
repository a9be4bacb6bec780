#include "call_context.h"

#include "host_entry.h"

namespace ScanEngine {

const char* CallContextRef::FunctionName() const {
    const char* name = call_->GetFunctionName ? call_->GetFunctionName(call_) : nullptr;
    return name ? name : "<unknown>";
}

void CallContextRef::Log(std::uint32_t level, const std::string& text) const {
    // Logging is best effort: a host without a log sink loses the line, not the call.
    if (call_->LogMessage) call_->LogMessage(call_, level, text.c_str());
}

std::optional<std::uint64_t> CallContextRef::ProcessUid() const {
    std::uint64_t uid = 0;
    if (!ORVIK_HOST_CALL(call_, GetProcessUid, &uid)) return std::nullopt;
    return uid;
}

std::optional<std::uint64_t> CallContextRef::ProcessId() const {
    std::uint64_t pid = 0;
    if (!ORVIK_HOST_CALL(call_, GetProcessId, &pid)) return std::nullopt;
    return pid;
}

std::int32_t CallContextRef::ResolveProcessId(std::uint64_t uid, std::uint64_t& pid) const {
    return ORVIK_HOST_CALL(call_, ResolveProcessId, uid, &pid);
}

std::int32_t CallContextRef::ResolveProcessForSuppression(std::uint64_t uid, std::uint64_t& pid) const {
    return ORVIK_HOST_CALL(call_, ResolveProcessForSuppression, uid, &pid);
}

void CallContextRef::OnProcessWhitelisted(std::uint64_t uid) const { ORVIK_HOST_CALL(call_, OnProcessWhitelisted, uid); }

void CallContextRef::ReportProcessThreat(std::uint64_t uid, const char* threat) const {
    ORVIK_HOST_CALL(call_, ReportProcessThreat, uid, threat);
}

void CallContextRef::QueryInterface(const char* name, void** out) const {
    *out = nullptr;
    ORVIK_HOST_CALL(call_, QueryInterface, name, out);
}

}  // namespace ScanEngine
