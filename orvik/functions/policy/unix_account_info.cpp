// Account data for numeric user and group ids, answered by the host. Only the
// outputs the rule passed are bound, and only values the host supplies are
// written.
#include <memory>

#include "orvik/context/argument_names.h"
#include "orvik/context/host_objects.h"
#include "policy_functions.h"
#include "uuid_text.h"

namespace ScanEngine::Policy {
namespace {

template <typename Binding>
std::unique_ptr<Binding> BindIfGiven(Invocation& call, ArgName arg) {
    if (!call.args.IsGiven(arg)) return nullptr;
    if constexpr (std::is_same_v<Binding, IntegerAddress>) return call.args.GetIntegerAddress(arg);
    else return call.args.GetStringAddress(arg);
}

void WriteText(const StringAddress* out, const char* text) {
    if (out != nullptr && text != nullptr && *text != '\0') out->Assign(text, std::char_traits<char>::length(text));
}

std::int64_t AccountInfo(Invocation& call, bool is_group) {
    const auto id = static_cast<std::uint32_t>(call.args.GetInteger(arg::uid));
    const auto name = BindIfGiven<StringAddress>(call, arg::name_unix);
    const auto sid = BindIfGiven<StringAddress>(call, arg::sid);
    const auto uuid = BindIfGiven<StringAddress>(call, arg::uuid);
    const auto attributes = BindIfGiven<IntegerAddress>(call, arg::attributes);

    Abi::UnixAccountInfo* raw = nullptr;
    const std::int32_t result = call.library.GetUnixAccountInfo(id, is_group, &raw);
    if (raw == nullptr) return result;
    const UnixAccountInfoObject info(raw);

    if (name && info->Name) WriteText(name.get(), info->Name(raw));
    if (sid && info->Sid) WriteText(sid.get(), info->Sid(raw));
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
