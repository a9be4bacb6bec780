#include "host_call_context.h"

#include <cstring>

#include "abi_entry.h"

namespace RefHost {

#define CONTEXT_ENTRY(name) abi_.name = &AbiEntry<Abi::CallContext, &HostCallContext::name>::Call

HostCallContext::HostCallContext(ObjectPool& objects) : objects_(objects) {
    abi_.lead = this;
    CONTEXT_ENTRY(GetFunctionName);
    CONTEXT_ENTRY(QueryInterface);
    CONTEXT_ENTRY(GetProcessUid);
    CONTEXT_ENTRY(GetProcessId);
    CONTEXT_ENTRY(LogMessage);
    CONTEXT_ENTRY(ResolveProcessForSuppression);
    CONTEXT_ENTRY(AssignStringVariable);
    CONTEXT_ENTRY(AssignIntegerVariable);
    CONTEXT_ENTRY(ResolveProcessId);
    CONTEXT_ENTRY(GetStringLength);
    CONTEXT_ENTRY(OnProcessWhitelisted);
    CONTEXT_ENTRY(ReportProcessThreat);
}

#undef CONTEXT_ENTRY

const char* HostCallContext::GetFunctionName() {
    operations.push_back("GetFunctionName");
    return function_name.c_str();
}

void HostCallContext::QueryInterface(const char* name, void** out) {
    operations.push_back("QueryInterface");
    if (out == nullptr || name == nullptr || std::strcmp(name, Abi::kProcessInfoInterfaceName) != 0) return;
    if (process_info == ProcessInfoMode::None) return;
    const bool with_token =
        process_info == ProcessInfoMode::WithToken || process_info == ProcessInfoMode::WithBrokenToken;
    *out = &objects_.Make<ProcessInfoObject>(with_token, process_info == ProcessInfoMode::WithBrokenToken)->abi;
}

bool HostCallContext::GetProcessUid(std::uint64_t* uid) {
    operations.push_back("GetProcessUid");
    if (!process_uid) return false;
    *uid = *process_uid;
    return true;
}

bool HostCallContext::GetProcessId(std::uint64_t* pid) {
    operations.push_back("GetProcessId");
    if (!process_id) return false;
    *pid = *process_id;
    return true;
}

void HostCallContext::LogMessage(std::uint32_t level, const char* text) {
    log.push_back({level, text ? text : "(null)"});
}

std::int32_t HostCallContext::ResolveProcessForSuppression(std::uint64_t uid, std::uint64_t* pid) {
    operations.push_back("ResolveProcessForSuppression");
    return Resolve(resolve_suppression, uid, pid);
}

std::int32_t HostCallContext::ResolveProcessId(std::uint64_t uid, std::uint64_t* pid) {
    operations.push_back("ResolveProcessId");
    return Resolve(resolve_process, uid, pid);
}

std::int32_t HostCallContext::Resolve(const Resolutions& table, std::uint64_t uid, std::uint64_t* pid) {
    const auto it = table.find(uid);
    if (it == table.end()) return kHostNotFound;
    *pid = it->second.second;
    return it->second.first;
}

std::int32_t HostCallContext::AssignStringVariable(std::uint32_t ref, const void* bytes, std::uint64_t length) {
    if (refused_variables.count(ref)) return kHostAccessDenied;
    variables[ref] = {Variable::Kind::String, 0,
                      bytes ? std::string(static_cast<const char*>(bytes), length) : std::string()};
    return 0;
}

std::int32_t HostCallContext::AssignIntegerVariable(std::uint32_t ref, std::uint64_t value) {
    if (refused_variables.count(ref)) return kHostAccessDenied;
    variables[ref] = {Variable::Kind::Integer, value, {}};
    return 0;
}

std::uint64_t HostCallContext::GetStringLength(const char* value) {
    const auto it = lengths_.find(value);
    return it != lengths_.end() ? it->second : (value ? std::strlen(value) : 0);
}

void HostCallContext::OnProcessWhitelisted(std::uint64_t uid) { whitelisted_notifications.push_back(uid); }

void HostCallContext::ReportProcessThreat(std::uint64_t uid, const char* threat) {
    threat_reports.emplace_back(uid, threat ? threat : "(null)");
}

}  // namespace RefHost
