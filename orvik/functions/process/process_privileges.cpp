// What a process's token says about its standing: mandatory integrity level,
// elevation and membership of the local Administrators group. Every handle is
// owned, so each early return closes what was opened before it.
#include <windows.h>

#include <cstdint>

#include "common/format_string.h"
#include "common/token_information.h"
#include "common/unique_handle.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/failed_call.h"
#include "orvik/functions/handlers.h"

namespace ScanEngine::Process {
namespace {

int AsInt(DWORD code) { return static_cast<int>(code); }

// 0 with `member` set, or the Windows error of the failing step (logged).
// The error is taken from the failing call itself, so logging cannot change it.
DWORD AdministratorsMembership(CallContextRef call, HANDLE impersonation_token, bool& member) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    DWORD error = 0;
    BOOL is_member = FALSE;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size)) {
        error = LogFailedCall(call, kLogError,
                              "IsMemberOfAdministratorsGroup:CreateWellKnownSid failed with error code %d \n");
    } else if (!CheckTokenMembership(impersonation_token, sid, &is_member)) {
        error = LogFailedCall(call, kLogError,
                              "IsMemberOfAdministratorsGroup:CheckTokenMembership failed with error code %d \n");
    }
    if (error != 0) {
        call.Log(kLogError, Common::FormatString("IsMemberOfAdministratorsGroup failed with error code %d\n", AsInt(error)));
        return error;
    }
    member = is_member != FALSE;
    return 0;
}

// The last sub-authority of the token's mandatory label, or nothing.
bool IntegrityLevel(HANDLE token, std::uint32_t& level) {
    try {
        const Common::TokenInformation info(token, TokenIntegrityLevel);
        const auto* label = info.As<TOKEN_MANDATORY_LABEL>();
        if (label == nullptr) return false;
        // The whole SID lies in the information, and it has a last sub-authority.
        const std::size_t size = info.SidSize(label->Label.Sid);
        if (size <= 8) return false;
        const UCHAR count = *GetSidSubAuthorityCount(label->Label.Sid);
        level = *GetSidSubAuthority(label->Label.Sid, count - 1u);
        return level != 0xFFFFFFFFu;
    } catch (const Common::Error&) {
        return false;
    }
}

// Whether the token is elevated; a token that cannot say counts as not
// elevated, with a warning, and the call goes on.
bool IsElevated(CallContextRef call, HANDLE token) {
    TOKEN_ELEVATION elevation{};
    DWORD returned = 0;
    if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &returned)) {
        LogFailedCall(call, kLogWarning, "GetTokenInformation(TokenElevation) failed with error code %d\n");
        return false;
    }
    return elevation.TokenIsElevated != 0;
}

}  // namespace

std::int64_t GetProcPrivAttr(Invocation& call) {
    const auto pid = static_cast<std::uint32_t>(call.args.GetInteger(arg::pid));
    const auto integrity_lvl = call.args.GetIntegerAddress(arg::integrity_lvl);
    const auto is_elevated = call.args.GetIntegerAddress(arg::is_elevated);
    const auto is_in_admin_group = call.args.GetIntegerAddress(arg::is_in_admin_group);

    const Common::UniqueHandle process(OpenProcess(MAXIMUM_ALLOWED, FALSE, pid));
    if (!process)
        return AsInt(LogFailedCall(call.context, kLogError, "OpenProcess failed with error code %d, for PID %d \n",
                                   static_cast<int>(pid)));
    Common::UniqueHandle token;
    if (!OpenProcessToken(process.Get(), TOKEN_DUPLICATE | TOKEN_QUERY, token.Put()))
        return AsInt(LogFailedCall(call.context, kLogError, "OpenProcessToken failed with error code %d\n"));
    Common::UniqueHandle duplicate;
    if (!DuplicateToken(token.Get(), SecurityImpersonation, duplicate.Put()))
        return AsInt(LogFailedCall(call.context, kLogError, "DuplicateToken failed with error code %d \n"));
    // Written now so that a later failure still leaves it set.
    is_elevated.Assign(IsElevated(call.context, token.Get()) ? 1 : 0);

    bool member = false;
    if (const DWORD error = AdministratorsMembership(call.context, duplicate.Get(), member); error != 0) return AsInt(error);
    is_in_admin_group.Assign(member ? 1 : 0);

    std::uint32_t level = 0;
    if (!IntegrityLevel(token.Get(), level)) {
        call.context.Log(kLogError, "Get_IL failed\n");
        return 5;
    }
    integrity_lvl.Assign(level);
    return 0;
}

}  // namespace ScanEngine::Process
