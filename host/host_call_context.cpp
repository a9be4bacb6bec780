#include "host_call_context.h"

#include <cstring>

namespace RefHost {

HostCallContext::HostCallContext(ObjectPool& objects) : objects_(objects) {
    abi_.lead = this;
    abi_.GetFunctionName = [](Abi::CallContext* r) {
        auto& self = Self(r);
        self.operations.push_back("GetFunctionName");
        return self.function_name.c_str();
    };
    abi_.QueryInterface = [](Abi::CallContext* r, const char* name, void** out) {
        auto& self = Self(r);
        self.operations.push_back("QueryInterface");
        if (out == nullptr || name == nullptr || std::strcmp(name, Abi::kProcessInfoInterfaceName) != 0) return;
        if (self.process_info == ProcessInfoMode::None) return;
        *out = &self.objects_.Make<ProcessInfoObject>(self.process_info == ProcessInfoMode::WithToken ||
                                                           self.process_info == ProcessInfoMode::WithBrokenToken,
                                                       self.process_info == ProcessInfoMode::WithBrokenToken)->abi;
    };
    abi_.GetProcessUid = [](Abi::CallContext* r, std::uint64_t* uid) {
        auto& self = Self(r);
        self.operations.push_back("GetProcessUid");
        if (!self.process_uid) return false;
        *uid = *self.process_uid;
        return true;
    };
    abi_.GetProcessId = [](Abi::CallContext* r, std::uint64_t* pid) {
        auto& self = Self(r);
        self.operations.push_back("GetProcessId");
        if (!self.process_id) return false;
        *pid = *self.process_id;
        return true;
    };
    abi_.LogMessage = [](Abi::CallContext* r, std::uint32_t level, const char* text) {
        Self(r).log.push_back({level, text ? text : "(null)"});
    };
    abi_.ResolveProcessForSuppression = [](Abi::CallContext* r, std::uint64_t uid, std::uint64_t* pid) {
        auto& self = Self(r);
        self.operations.push_back("ResolveProcessForSuppression");
        auto it = self.resolve_suppression.find(uid);
        if (it == self.resolve_suppression.end()) return kHostNotFound;
        *pid = it->second.second;
        return it->second.first;
    };
    abi_.AssignStringVariable = [](Abi::CallContext* r, std::uint32_t ref, const void* bytes, std::uint64_t length) {
        auto& self = Self(r);
        if (self.refused_variables.count(ref)) return kHostAccessDenied;
        self.variables[ref] = {Variable::Kind::String, 0,
                               bytes ? std::string(static_cast<const char*>(bytes), length) : std::string()};
        return 0;
    };
    abi_.AssignIntegerVariable = [](Abi::CallContext* r, std::uint32_t ref, std::uint64_t value) {
        auto& self = Self(r);
        if (self.refused_variables.count(ref)) return kHostAccessDenied;
        self.variables[ref] = {Variable::Kind::Integer, value, {}};
        return 0;
    };
    abi_.ResolveProcessId = [](Abi::CallContext* r, std::uint64_t uid, std::uint64_t* pid) {
        auto& self = Self(r);
        self.operations.push_back("ResolveProcessId");
        auto it = self.resolve_process.find(uid);
        if (it == self.resolve_process.end()) return kHostNotFound;
        *pid = it->second.second;
        return it->second.first;
    };
    abi_.GetStringLength = [](Abi::CallContext* r, const char* value) -> std::uint64_t {
        auto& self = Self(r);
        auto it = self.lengths_.find(value);
        return it != self.lengths_.end() ? it->second : (value ? std::strlen(value) : 0);
    };
    abi_.OnProcessWhitelisted = [](Abi::CallContext* r, std::uint64_t uid) {
        Self(r).whitelisted_notifications.push_back(uid);
    };
    abi_.ReportProcessThreat = [](Abi::CallContext* r, std::uint64_t uid, const char* threat) {
        Self(r).threat_reports.emplace_back(uid, threat ? threat : "(null)");
    };
}

}  // namespace RefHost
