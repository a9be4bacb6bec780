// Registry keys and values for rules. Reads run directly against the registry
// as the process behind the call; deletions are remediation the host carries
// out, so the module only names the key or value and logs the outcome.
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "common/format_string.h"
#include "common/unique_hkey.h"
#include "common/utf.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/host_objects.h"
#include "orvik/context/security_token.h"
#include "orvik/functions/handlers.h"
#include "orvik/impersonation/impersonation.h"

namespace ScanEngine::System {
namespace {

using Common::FormatString;

// Hives are matched by prefix and case, first row first: "HKLM\SOFTWARE"
// selects the local machine, "hklm" nothing.
template <typename T, std::size_t N>
std::optional<T> MatchHive(const std::string& hive, const std::pair<std::string_view, T> (&table)[N]) {
    for (const auto& [prefix, root] : table) {
        if (std::string_view(hive).starts_with(prefix)) return root;
    }
    return std::nullopt;
}

std::optional<HKEY> DirectHive(const std::string& hive) {
    const std::pair<std::string_view, HKEY> table[] = {
        {"HKLM", HKEY_LOCAL_MACHINE},
        {"HKCU", HKEY_CURRENT_USER},
        {"HKCR", HKEY_CLASSES_ROOT},
        {"HKU", HKEY_USERS},
    };
    return MatchHive(hive, table);
}

// The host's hive codes; the current user's hive is not the host's to touch.
std::optional<std::uint32_t> HostHive(const std::string& hive) {
    const std::pair<std::string_view, std::uint32_t> table[] = {
        {"HKLM", 0},
        {"HKCR", 1},
        {"HKU", 2},
    };
    return MatchHive(hive, table);
}

// Why a name cannot be handed on whole, or null when it can. Names travel
// nul-terminated and converted, so a nul or undecodable bytes would stand for
// another key (for deletions, a parent key).
const char* NameFault(const std::string& name) {
    if (Common::HoldsNul(name)) return "contains a nul character";
    return Common::IsNameText(name) ? nullptr : "is not valid UTF-8";
}

std::wstring Wide(const std::string& text) { return Common::Utf8ToWide(text.data(), text.size()); }

// The host's text for a failed deletion; a host may fail without an object
// or without a message, and still gets a readable line.
std::string FailureText(const HostErrorObject& error) {
    const std::string message = error ? HostErrorMessage(error.Get()) : std::string();
    return message.empty() ? "unknown error" : message;
}

// The root a hive name selects for a read, or nothing (said in the log).
std::optional<HKEY> ReadRoot(const CallContextRef& call, const std::string& hive) {
    const std::optional<HKEY> root = DirectHive(hive);
    if (!root) call.Log(kLogError, "Unknown root key");
    return root;
}

// The host's code for a hive to delete in, or nothing (said in the log).
std::optional<std::uint32_t> DeletionRoot(const CallContextRef& call, const std::string& hive) {
    const std::optional<std::uint32_t> code = HostHive(hive);
    if (!code) call.Log(kLogError, FormatString("Unknown root key '%s'", hive.c_str()));
    return code;
}

// RegGetValueW for a string value, as the process behind the call.
LSTATUS GetStringValue(const SecurityToken& token, HKEY root, const std::wstring& key, const std::wstring& value,
                       wchar_t* data, DWORD& size) {
    const ImpersonationScope scope(token);
    return RegGetValueW(root, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, data, &size);
}

// A string value read in two steps: its size, then the value into a buffer
// one unit longer than offered (never empty, which would make the read a
// size query, and always holding a nul), cut at the first nul. Gives the
// registry's status, with a failure said in the log.
LSTATUS ReadStringValue(const CallContextRef& call, const SecurityToken& token, HKEY root, const std::wstring& key,
                        const std::wstring& value, std::string& text) {
    DWORD size = 0;
    LSTATUS result = GetStringValue(token, root, key, value, nullptr, size);
    if (result != ERROR_SUCCESS || size == 0) {
        call.Log(kLogError, FormatString("Failed to get regkey datasize, ERROR: %d", static_cast<int>(result)));
        return result;
    }
    std::vector<wchar_t> buffer(size / 2 + 1, L'\0');
    DWORD offered = size / 2 * sizeof(wchar_t);
    result = GetStringValue(token, root, key, value, buffer.data(), offered);
    if (result != ERROR_SUCCESS) {
        call.Log(kLogError, FormatString("Failed to get regkey data, ERROR: %d", static_cast<int>(result)));
        return result;
    }
    const auto end = std::find(buffer.begin(), buffer.end(), L'\0');
    text = Common::WideToUtf8(buffer.data(), static_cast<std::size_t>(end - buffer.begin()));
    return ERROR_SUCCESS;
}

}  // namespace

std::int64_t RegistryKeyExists(Invocation& call) {
    const std::string hive = call.args.GetString(arg::hive);
    const std::string key = call.args.GetName(arg::kname);
    const auto status = call.args.GetIntegerAddress(arg::status);
    const std::optional<HKEY> root = ReadRoot(call.context, hive);
    if (!root) return -1;

    LSTATUS result;
    try {
        const std::wstring name = Wide(key);
        const ImpersonationScope scope(GetSecurityToken(call.context.Raw()));
        Common::UniqueHkey opened;  // closed at once, still inside the scope
        result = RegOpenKeyExW(*root, name.c_str(), 0, KEY_READ, opened.Put());
    } catch (const Common::Error& error) {
        call.context.Log(kLogError, FormatString("Can't access registry key: hive='%s', regkey='%s'; %s", hive.c_str(),
                                                 key.c_str(), error.Text().c_str()));
        return -1;
    }

    if (result == ERROR_SUCCESS) {
        status.Assign(1);
        call.context.Log(kLogInfo, FormatString("Registry key exists: hive='%s', regkey='%s'", hive.c_str(), key.c_str()));
        return 0;
    }
    if (result == ERROR_FILE_NOT_FOUND) {
        status.Assign(0);
        call.context.Log(kLogInfo,
                         FormatString("Registry key does not exist: hive='%s', regkey='%s'", hive.c_str(), key.c_str()));
        return 0;
    }
    call.context.Log(kLogError, FormatString("Can't access registry key: hive='%s', regkey='%s'; ERROR: %d", hive.c_str(),
                                             key.c_str(), static_cast<int>(result)));
    return result;
}

std::int64_t RegistryReadString(Invocation& call) {
    const std::string hive = call.args.GetString(arg::hive);
    const std::string key = call.args.GetName(arg::kname);
    const std::string value = call.args.GetName(arg::vname);
    const auto output = call.args.GetStringAddress(arg::text);
    const std::optional<HKEY> root = ReadRoot(call.context, hive);
    if (!root) return -1;

    std::string text;
    try {
        const LSTATUS result =
            ReadStringValue(call.context, GetSecurityToken(call.context.Raw()), *root, Wide(key), Wide(value), text);
        if (result != ERROR_SUCCESS) return result;
    } catch (const Common::Error& error) {
        call.context.Log(kLogError, FormatString("%s: Failed to get regkey data: %s", call.context.FunctionName(),
                                                 error.Text().c_str()));
        return -1;
    }
    output.Assign(text);
    return 0;
}

std::int64_t RegistryDeleteKey(Invocation& call) {
    const std::string hive = call.args.GetString(arg::hive);
    const std::string key = call.args.GetString(arg::kname);
    const std::optional<std::uint32_t> code = DeletionRoot(call.context, hive);
    if (!code) return -1;
    if (const char* fault = NameFault(key)) {
        call.context.Log(kLogError, FormatString("Failed to delete registry key '%s' in hive '%s': key name %s",
                                                 key.c_str(), hive.c_str(), fault));
        return -1;
    }

    const std::wstring key_name = Wide(key);
    Abi::HostError* raw_error = nullptr;
    const std::int64_t status = call.library.DeleteRegistryKey(*code, key_name.c_str(), &raw_error);
    const HostErrorObject error(raw_error);
    if (status != 0) {
        call.context.Log(kLogError, FormatString("Failed to delete registry key '%s' in hive '%s': %s", key.c_str(),
                                                 hive.c_str(), FailureText(error).c_str()));
        return status;
    }
    call.context.Log(kLogInfo, FormatString("Successfully deleted registry key '%s' in hive '%s'", key.c_str(),
                                            hive.c_str()));
    return 0;
}

std::int64_t RegistryDeleteValue(Invocation& call) {
    const std::string hive = call.args.GetString(arg::hive);
    const std::string key = call.args.GetString(arg::kname);
    const std::string value = call.args.GetString(arg::vname);
    const std::optional<std::uint32_t> code = DeletionRoot(call.context, hive);
    if (!code) return -1;
    const char* fault = NameFault(key);
    if (fault == nullptr) fault = NameFault(value);
    if (fault != nullptr) {
        call.context.Log(kLogError,
                         FormatString("Failed to delete registry value key '%s' in hive '%s' in subkey '%s': name %s",
                                   value.c_str(), hive.c_str(), key.c_str(), fault));
        return -1;
    }

    const std::wstring key_name = Wide(key);
    const std::wstring value_name = Wide(value);
    Abi::HostError* raw_error = nullptr;
    const std::int64_t status =
        call.library.DeleteRegistryValue(*code, key_name.c_str(), value_name.c_str(), &raw_error);
    const HostErrorObject error(raw_error);
    if (status != 0) {
        call.context.Log(kLogError, FormatString("Failed to delete registry value key '%s' in hive '%s' in subkey '%s': %s",
                                                 value.c_str(), hive.c_str(), key.c_str(), FailureText(error).c_str()));
        return status;
    }
    call.context.Log(kLogInfo, FormatString("Successfully deleted registry value key '%s' hive '%s' in subkey '%s'",
                                            value.c_str(), hive.c_str(), key.c_str()));
    return 0;
}

}  // namespace ScanEngine::System
