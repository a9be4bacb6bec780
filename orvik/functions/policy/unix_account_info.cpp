// Account data for numeric user and group ids, answered by the host. Only the
// outputs the rule passed are bound, and only values the host supplies are
// written.
#include <optional>

#include "orvik/context/argument_names.h"
#include "orvik/context/host_objects.h"
#include "orvik/functions/handlers.h"
#include "uuid_text.h"

namespace ScanEngine::Policy {
namespace {

void WriteText(const std::optional<StringAddress>& out, const char* text) {
    if (out && text != nullptr && *text != '\0') out->Assign(text, std::char_traits<char>::length(text));
}

std::int64_t AccountInfo(Invocation& call, bool is_group) {
    const auto id = static_cast<std::uint32_t>(call.args.GetInteger(arg::uid));
    const auto name = call.args.GetStringAddressIfGiven(arg::name_unix);
    const auto sid = call.args.GetStringAddressIfGiven(arg::sid);
    const auto uuid = call.args.GetStringAddressIfGiven(arg::uuid);
    const auto attributes = call.args.GetIntegerAddressIfGiven(arg::attributes);

    Abi::UnixAccountInfo* raw = nullptr;
    const std::int32_t result = call.library.GetUnixAccountInfo(id, is_group, &raw);
    if (raw == nullptr) return result;
    const UnixAccountInfoObject info(raw);

    if (name && info->Name) WriteText(name, info->Name(raw));
    if (sid && info->Sid) WriteText(sid, info->Sid(raw));
    if (uuid && info->Uuid) {
        std::uint8_t bytes[16] = {};
        if (info->Uuid(raw, bytes)) uuid->Assign(UuidText(bytes));
    }
    if (attributes && info->Attributes) attributes->Assign(info->Attributes(raw));
    return result;
}

}  // namespace

std::int64_t GetUnixUserInfo(Invocation& call) { return AccountInfo(call, false); }
std::int64_t GetUnixGroupInfo(Invocation& call) { return AccountInfo(call, true); }

}  // namespace ScanEngine::Policy
