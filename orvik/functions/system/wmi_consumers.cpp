// get_consumer_payload: what a permanent WMI event consumer of one of the two
// executing kinds would run. Nothing is logged: the rule sees only the result.
#include <windows.h>
#include <objbase.h>

#include <optional>
#include <string>

#include "common/utf.h"
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include "orvik/impersonation/impersonation.h"
#include "wmi_consumer_reader.h"
#include "wql_query.h"

namespace ScanEngine::System {

std::int64_t GetConsumerPayload(Invocation& call) {
    const std::int64_t consumer_type = call.args.GetInteger(arg::consumerType);
    const std::string name = call.args.GetString(arg::name_wmi);
    const auto file = call.args.GetStringAddress(arg::file_wmi);
    const auto script = call.args.GetStringAddress(arg::script);
    const auto engine = call.args.GetStringAddress(arg::engine);

    const std::optional<std::string> query = ConsumerQuery(consumer_type, name);
    if (!query) return -1;
    // Undecodable bytes in the name cut the text short before its closing
    // quote; the system then refuses the query rather than look up another name.
    const std::wstring wide_query = Common::Utf8ToWide(query->data(), query->size());

    std::optional<ConsumerPayload> payload;
    {
        const ComInitScope com(COINIT_MULTITHREADED);
        if (com.Failed()) return -1;
        payload = QueryConsumerPayload(L"ROOT\\subscription", wide_query.c_str());
    }
    if (!payload) return -1;
    file.Assign(payload->file);
    script.Assign(payload->script);
    engine.Assign(payload->engine);
    return 0;
}

}  // namespace ScanEngine::System
