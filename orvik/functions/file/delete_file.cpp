// Deleting a file named by a rule. The host does the deletion, with the
// token of the process behind the call; the module prepares the path (the
// host may first turn an NT device path into a DOS path) and logs each step.
#include <algorithm>
#include <optional>
#include <vector>

#include "common/format_string.h"
#include "common/utf.h"
#include "file_actions.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/host_objects.h"
#include "orvik/context/security_token.h"
#include "orvik/functions/handlers.h"

namespace ScanEngine::File {
namespace {

using Common::FormatString;

// The DOS form of `path` as the host converts it; nothing when the host
// refuses or returns no characters.
std::optional<std::string> ConvertToDos(LibraryContext& library, const std::string& path) {
    const std::wstring wide = Common::Utf8ToWide(path.data(), path.size());
    // Twice the UTF-8 length in wide characters: always room for the
    // conversion of a drive-letter path, which is never longer.
    const auto capacity = static_cast<std::uint32_t>(std::min<std::size_t>(2 * path.size(), UINT32_MAX));
    std::vector<wchar_t> buffer(capacity + 1, L'\0');  // one spare unit, never offered to the host
    std::uint32_t length = capacity;
    if (library.ConvertNtPathToDosPath(wide.c_str(), buffer.data(), &length) != 0 || length == 0) return std::nullopt;
    // The length counts the terminator; a host that claims more than it was
    // offered is held to the buffer.
    const std::size_t characters = std::min<std::size_t>(length - 1, capacity);
    return Common::WideToUtf8(buffer.data(), characters);
}

}  // namespace

std::int64_t DeleteFileByHost(Invocation& call) {
    const std::string given = call.args.GetString(arg::path);
    const bool to_dos = call.args.IsGiven(arg::to_dos) && call.args.GetInteger(arg::to_dos) != 0;
    call.context.Log(kLogInfo, FormatString("Deleting file: '%s' ...", given.c_str()));

    // A nul would have the host delete a file named by the part before it.
    if (Common::HoldsNul(given)) {
        call.context.Log(kLogError, FormatString("Can't delete file '%s': path contains a nul character", given.c_str()));
        return -1;
    }
    // Undecodable bytes would be dropped from the path the host converts.
    if (to_dos && !Common::IsNameText(given)) {
        call.context.Log(kLogError, FormatString("Can't delete file '%s': path is not valid UTF-8", given.c_str()));
        return -1;
    }

    std::string target = given;
    if (to_dos) {
        const auto converted = ConvertToDos(call.library, given);
        if (!converted || Common::HoldsNul(*converted)) {
            call.context.Log(kLogError, FormatString("Can't delete file '%s': path conversion failed", given.c_str()));
            return -1;
        }
        target = *converted;
        call.context.Log(kLogInfo, FormatString("Deleting file: '%s' as '%s' ...", given.c_str(), target.c_str()));
    }

    Abi::HostError* raw_error = nullptr;
    const std::int32_t status = call.library.RemoveFile(GetSecurityToken(call.context.Raw()), target, &raw_error);
    const HostErrorObject error(raw_error);
    if (status != 0) {
        // A host that fails without an error object still gets its line.
        const std::string message = error ? HostErrorMessage(error.Get()) : "unknown error";
        call.context.Log(kLogError, to_dos ? FormatString("Failed to delete file '%s' as '%s' : %s", given.c_str(),
                                                          target.c_str(), message.c_str())
                                        : FormatString("Failed to delete file '%s' : %s", given.c_str(),
                                                          message.c_str()));
        return -1;
    }
    call.context.Log(kLogInfo, FormatString("File '%s' deleted successfully", target.c_str()));
    return 0;
}

}  // namespace ScanEngine::File
