#include "security_token.h"

#include "call_context.h"
#include "host_objects.h"

namespace ScanEngine {

SecurityToken GetSecurityToken(Abi::CallContext* call) {
    void* raw_info = nullptr;
    CallContextRef(call).QueryInterface(Abi::kProcessInfoInterfaceName, &raw_info);
    if (raw_info == nullptr) return {};
    const HostObject<Abi::ProcessInfo> info(static_cast<Abi::ProcessInfo*>(raw_info));
    if (info->QueryObject == nullptr) return {};

    void* token = nullptr;
    info->QueryObject(info.Get(), Abi::kSecurityTokenObjectName, &token);
    if (token == nullptr) return {};
    return SecurityToken(static_cast<Abi::SecurityToken*>(token), SecurityDescriptorDeleter{});
}

}  // namespace ScanEngine
