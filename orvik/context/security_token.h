// The security token of the process behind the current call, shared for as
// long as any user holds it and released through the host when the last
// holder lets go. An empty holder means "no token": the host then gets null.
#pragma once

#include <memory>

#include "host_abi.h"

namespace ScanEngine {

struct SecurityDescriptorDeleter {
    void operator()(Abi::SecurityToken* token) const noexcept {
        if (token != nullptr && token->Release != nullptr) token->Release(token);
    }
};

using SecurityToken = std::shared_ptr<Abi::SecurityToken>;

// Asks the call context's "ProcessInfo" interface for the "SecurityToken"
// object; an empty holder when either is missing.
SecurityToken GetSecurityToken(Abi::CallContext* call);

}  // namespace ScanEngine
