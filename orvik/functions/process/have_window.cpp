// Whether a process owns a visible top-level window. The windows are listed
// under the identity of the process behind the call, so the answer is what
// that process itself could see.
#include <windows.h>

#include "common/error.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/security_token.h"
#include "orvik/functions/handlers.h"
#include "orvik/impersonation/impersonation.h"

namespace ScanEngine::Process {
namespace {

struct WindowSearch {
    DWORD pid = 0;
    bool found = false;
};

// Never stops the enumeration early: a stopped enumeration reads as a failed
// one. Hidden windows (every GUI thread's input-method window among them)
// do not count.
BOOL CALLBACK VisitWindow(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<WindowSearch*>(context);
    if (!IsWindowVisible(window)) return TRUE;
    DWORD owner = 0;
    // A window that went away meanwhile has no owner, not owner 0.
    if (GetWindowThreadProcessId(window, &owner) != 0 && owner == search.pid) search.found = true;
    return TRUE;
}

}  // namespace

std::int64_t HaveWindow(Invocation& call) {
    WindowSearch search;
    search.pid = static_cast<DWORD>(call.args.GetInteger(arg::pid));
    try {
        const ImpersonationScope scope(GetSecurityToken(call.context.Raw()));
        if (!EnumWindows(&VisitWindow, reinterpret_cast<LPARAM>(&search)))
            throw COMMON_WINDOWS_ERROR(GetLastError());
    } catch (const Common::Error& error) {
        // The failure's own text, not the malformed-call line.
        call.context.Log(kLogError, error.Text());
        return -1;
    }
    return search.found ? 1 : 0;
}

}  // namespace ScanEngine::Process
