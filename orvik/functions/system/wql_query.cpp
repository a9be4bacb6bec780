#include "wql_query.h"

#include "common/utf.h"

namespace ScanEngine::System {

std::optional<std::string> ConsumerQuery(std::int64_t consumer_type, std::string_view name) {
    const char* select = nullptr;
    switch (consumer_type) {
        case 0: select = "SELECT * FROM CommandLineEventConsumer WHERE Name = '"; break;
        case 1: select = "SELECT * FROM ActiveScriptEventConsumer WHERE Name = '"; break;
        default: return std::nullopt;
    }
    if (Common::HoldsNul(name)) return std::nullopt;
    std::string query(select);
    for (const char c : name) {
        if (c == '\\' || c == '\'') query += '\\';
        query += c;
    }
    query += '\'';
    return query;
}

}  // namespace ScanEngine::System
