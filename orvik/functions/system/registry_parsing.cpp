// Registry data that a rule already holds as a hex dump, turned into a number
// or a text. The parsing itself lives in registry_data.
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include "registry_data.h"

namespace ScanEngine::System {
namespace {

// Writes the parsed value, or logs why there is none; outputs keep their
// contents on failure.
template <typename T, typename Output>
std::int64_t Deliver(Invocation& call, const DumpParse<T>& parsed, const Output& output) {
    if (!parsed.value) {
        call.context.Log(kLogError, parsed.failure);
        return -1;
    }
    output.Assign(*parsed.value);
    return 0;
}

}  // namespace

std::int64_t RegistryParseInt(Invocation& call) {
    // Read where the host keeps it, for the length of the call.
    const std::string_view dump = call.args.GetStringView(arg::hex_input);
    const auto output = call.args.GetIntegerAddress(arg::value);
    return Deliver(call, ParseRegistryInt(dump), output);
}

std::int64_t RegistryParseString(Invocation& call) {
    const std::string_view dump = call.args.GetStringView(arg::hex_input);
    const auto output = call.args.GetStringAddress(arg::text);
    return Deliver(call, ParseRegistryString(dump), output);
}

}  // namespace ScanEngine::System
