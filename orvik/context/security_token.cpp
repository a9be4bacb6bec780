#include "security_token.h"

#include "call_context.h"

namespace ScanEngine {
namespace {

struct ProcessInfoRelease {
    void operator()(Abi::ProcessInfo* info) const noexcept {
        if (info->Release != nullptr) info->Release(info);
    }
};

}  // namespace

SecurityToken GetSecurityToken(Abi::CallContext* call) {
    void* raw_info = nullptr;
    CallContextRef(call).QueryInterface(Abi::kProcessInfoInterfaceName, &raw_info);
    if (raw_info == nullptr) return {};
    std::unique_ptr<Abi::ProcessInfo, ProcessInfoRelease> info(static_cast<Abi::ProcessInfo*>(raw_info));
    if (info->QueryObject == nullptr) return {};

    void* token = nullptr;
    info->QueryObject(info.get(), Abi::kSecurityTokenObjectName, &token);
    if (token == nullptr) return {};
    return SecurityToken(static_cast<Abi::SecurityToken*>(token), SecurityDescriptorDeleter{});
}

}  // namespace ScanEngine
