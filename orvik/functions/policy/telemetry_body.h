// Telemetry bodies: JSON objects built member by member, one member per line.
// A string member whose text is itself a JSON array or object is embedded as
// structure; any other text becomes an escaped JSON string.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ScanEngine::Policy {

class TelemetryBody {
public:
    TelemetryBody() : text_("{\n") {}

    // `name` is an argument name: plain identifier characters, written as is.
    void AddInteger(std::string_view name, std::int64_t value);
    void AddString(std::string_view name, std::string_view value);

    // The finished body; the builder is spent.
    std::string Finish() &&;

private:
    void StartMember(std::string_view name);

    std::string text_;
    bool empty_ = true;
};

// True when the text is one JSON array or object, with nothing around it but
// whitespace and comments, so that inserting it unchanged keeps the body
// well formed.
bool IsEmbeddableJson(std::string_view text);

// The text as a JSON string literal, quotes included. Every byte below 0x20
// is escaped; other bytes are copied unchanged.
std::string QuoteJsonString(std::string_view text);

}  // namespace ScanEngine::Policy
