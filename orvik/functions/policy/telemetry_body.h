// Telemetry bodies: JSON objects built member by member, one member per line.
// A string member whose text is itself a strict JSON array or object is
// embedded as structure; any other text becomes a JSON string. Every body is
// strict JSON in UTF-8.
#pragma once

#include <cstddef>
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

// Deepest nesting embedded as structure. It bounds the reader's recursion,
// and so the stack a call takes on the host's thread.
inline constexpr std::size_t kMaxEmbeddedDepth = 64;

// True when the text is one JSON array or object in the strict grammar (no
// comments, nothing around it but whitespace, UTF-8, no control bytes in
// strings, unique member names), nested at most kMaxEmbeddedDepth deep.
bool IsEmbeddableJson(std::string_view text);

}  // namespace ScanEngine::Policy
