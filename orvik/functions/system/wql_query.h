// The WQL query that finds one event consumer by name.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ScanEngine::System {

// The query (UTF-8) for the consumer called `name`: type 0 is a command line
// consumer, type 1 a script consumer. The name becomes a quoted WQL literal
// with its backslashes and single quotes escaped, so it can neither end the
// literal nor change the query. Nothing for any other type, or for a name
// holding a nul, which no literal handed to the system can carry.
std::optional<std::string> ConsumerQuery(std::int64_t consumer_type, std::string_view name);

}  // namespace ScanEngine::System
