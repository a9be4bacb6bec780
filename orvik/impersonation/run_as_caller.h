// Running a piece of a handler under the identity of the process behind
// the call, so the answer reflects what that process may see.
#pragma once

#include <utility>

#include "common/error.h"
#include "orvik/context/handler_frame.h"
#include "orvik/context/security_token.h"
#include "orvik/impersonation/impersonation.h"

namespace ScanEngine {

// Runs `work` inside an impersonation scope for the call's security token;
// the scope has ended when this returns. A Common::Error from the scope or
// from `work` is logged as its short text at level 2 and gives false.
template <typename Work>
bool RunAsCaller(Invocation& call, Work&& work) {
    try {
        const ImpersonationScope scope(GetSecurityToken(call.context.Raw()));
        std::forward<Work>(work)();
        return true;
    } catch (const Common::Error& error) {
        call.context.Log(kLogError, error.Text());
        return false;
    }
}

}  // namespace ScanEngine
