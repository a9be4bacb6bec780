// The account behind a SID, given as text or as the user of a running
// process: name, domain, account type and the binary SID itself. The system
// answers; the host is not asked.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/format_string.h"
#include "common/token_information.h"
#include "common/unique_handle.h"
#include "common/utf.h"
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include "sid_parse.h"
#include "sid_text.h"

namespace ScanEngine::Process {
namespace {

struct AccountOutputs {
    StringAddress username, domain, sid_type, sid_bin;
};

AccountOutputs BindAccountOutputs(const ArgParse& args) {
    return {args.GetStringAddress(arg::username), args.GetStringAddress(arg::domain),
            args.GetStringAddress(arg::sid_type), args.GetStringAddress(arg::sid_bin)};
}

std::string NameText(const std::wstring& buffer) {
    return Common::WideToUtf8(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
}

// 0, or the lookup's Windows error. The binary SID is written whatever the
// lookup then says, so a rule still sees which SID had no account.
std::int64_t AccountAttributes(const std::uint8_t* sid, std::size_t size, CallContextRef call,
                               const AccountOutputs& out) {
    out.sid_bin.Assign(SidHexText(sid, size));

    std::wstring name(1024, L'\0'), domain(1024, L'\0');
    SID_NAME_USE type = SidTypeUnknown;
    const auto lookup = [&] {
        DWORD name_size = static_cast<DWORD>(name.size()), domain_size = static_cast<DWORD>(domain.size());
        if (LookupAccountSidW(nullptr, const_cast<std::uint8_t*>(sid), name.data(), &name_size, domain.data(),
                              &domain_size, &type))
            return DWORD{0};
        const DWORD error = GetLastError();
        if (error == ERROR_INSUFFICIENT_BUFFER) {
            // The sizes needed; never below one unit, so each buffer stays addressable.
            name.assign(std::max<DWORD>(name_size, 1), L'\0');
            domain.assign(std::max<DWORD>(domain_size, 1), L'\0');
        }
        return error;
    };
    DWORD error = lookup();
    if (error == ERROR_INSUFFICIENT_BUFFER) error = lookup();
    if (error != 0) {
        call.Log(kLogError, Common::FormatString("LookupAccountSidW failed with error code %d", static_cast<int>(error)));
        return static_cast<std::int32_t>(error);
    }
    out.username.Assign(NameText(name));
    out.domain.Assign(NameText(domain));
    out.sid_type.Assign(SidTypeName(static_cast<std::uint32_t>(type)));
    return 0;
}

[[noreturn]] void RaiseWithCause(const char* what, std::uint32_t pid, const Common::Error& cause) {
    throw COMMON_ERROR(Common::FormatString("%s failed for PID %d", what, static_cast<int>(pid))).Then(cause);
}

// The binary user SID of the process's token; every handle is closed before
// it returns or raises.
std::vector<std::uint8_t> ProcessUserSid(std::uint32_t pid) {
    const Common::UniqueHandle process(OpenProcess(MAXIMUM_ALLOWED, FALSE, pid));
    if (!process) RaiseWithCause("OpenProcess", pid, COMMON_WINDOWS_ERROR(GetLastError()));
    Common::UniqueHandle token;
    if (!OpenProcessToken(process.Get(), TOKEN_QUERY, token.Put()))
        RaiseWithCause("OpenProcessToken", pid, COMMON_WINDOWS_ERROR(GetLastError()));

    try {
        const Common::TokenInformation info(token.Get(), TokenUser);
        const auto* user = info.As<TOKEN_USER>();
        const std::size_t size = user != nullptr ? info.SidSize(user->User.Sid) : 0;
        if (size == 0) throw COMMON_WINDOWS_ERROR(ERROR_INVALID_SID);
        const auto* bytes = static_cast<const std::uint8_t*>(user->User.Sid);
        return {bytes, bytes + size};
    } catch (const Common::Error& error) {
        RaiseWithCause("GetTokenInformation", pid, error);
    }
}

// The first Windows code along the chain, or -1.
std::int64_t WindowsCodeOf(const Common::Error& error) {
    for (Common::Error at = error; at; at = at.Next())
        if (at.IsWindowsError()) return static_cast<std::int32_t>(at.Code());
    return -1;
}

}  // namespace

std::int64_t GetAccAttrBySid(Invocation& call) {
    const std::string text = call.args.GetString(arg::sid_str);
    const AccountOutputs out = BindAccountOutputs(call.args);

    std::uint8_t sid[kMaxSidSize];
    std::size_t size = sizeof sid;
    if (!ParseSidText(text, sid, size)) {
        call.context.Log(kLogError, Common::FormatString("Can't convert string '%s' to SID", text.c_str()));
        return -1;
    }
    return AccountAttributes(sid, size, call.context, out);
}

std::int64_t GetAccAttrByPid(Invocation& call) {
    const auto pid = static_cast<std::uint32_t>(call.args.GetInteger(arg::pid));
    const AccountOutputs out = BindAccountOutputs(call.args);

    std::vector<std::uint8_t> sid;
    try {
        sid = ProcessUserSid(pid);
    } catch (const Common::Error& error) {
        call.context.Log(kLogError, error.Text());
        return WindowsCodeOf(error);
    }
    return AccountAttributes(sid.data(), sid.size(), call.context, out);
}

}  // namespace ScanEngine::Process
