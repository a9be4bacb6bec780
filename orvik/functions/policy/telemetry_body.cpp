#include "telemetry_body.h"

#include <exception>

#include <json/json.h>

namespace ScanEngine::Policy {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

// Whitespace and comments as the reader skips them, and nothing else. A block
// comment must be closed.
bool OnlySpaceAndComments(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else if (text.substr(i, 2) == "//") {
            i = text.find_first_of("\r\n", i + 2);
            if (i == kNone) return true;
        } else if (text.substr(i, 2) == "/*") {
            const std::size_t end = text.find("*/", i + 2);
            if (end == kNone) return false;
            i = end + 2;
        } else {
            return false;
        }
    }
    return true;
}

// The reader lets raw control characters through inside strings; embedded
// as they are, they would leave the body unreadable.
bool ValueTextKeepsBodyReadable(std::string_view text) {
    enum class State { kCode, kString, kLineComment, kBlockComment } state = State::kCode;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        switch (state) {
            case State::kCode:
                if (c == '"') state = State::kString;
                else if (c == '/' && next == '/') state = State::kLineComment, ++i;
                else if (c == '/' && next == '*') state = State::kBlockComment, ++i;
                break;
            case State::kString:
                if (static_cast<unsigned char>(c) < 0x20) return false;
                if (c == '\\') {
                    if (i + 1 < text.size() && static_cast<unsigned char>(next) < 0x20) return false;
                    ++i;
                } else if (c == '"') {
                    state = State::kCode;
                }
                break;
            case State::kLineComment:
                if (c == '\n' || c == '\r') state = State::kCode;
                break;
            case State::kBlockComment:
                if (c == '*' && next == '/') state = State::kCode, ++i;
                break;
        }
    }
    return state == State::kCode;
}

}  // namespace

bool IsEmbeddableJson(std::string_view text) {
    Json::Value root;
    try {
        Json::Reader reader;
        if (!reader.parse(text.data(), text.data() + text.size(), root)) return false;
    } catch (const std::exception&) {
        // Nesting beyond the reader's depth limit: not something to embed.
        return false;
    }
    if (!root.isArray() && !root.isObject()) return false;

    // The reader stops after the first value and ignores what follows it, so
    // "{} trailing" parses; only whitespace and comments may surround the value.
    const auto start = static_cast<std::size_t>(root.getOffsetStart());
    const auto limit = static_cast<std::size_t>(root.getOffsetLimit());
    if (start > limit || limit > text.size()) return false;
    return OnlySpaceAndComments(text.substr(0, start)) && OnlySpaceAndComments(text.substr(limit)) &&
           ValueTextKeepsBodyReadable(text.substr(start, limit - start));
}

std::string QuoteJsonString(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    for (const char c : text) {
        switch (c) {
            case '\\': quoted += "\\\\"; break;
            case '"': quoted += "\\\""; break;
            case '\t': quoted += "\\t"; break;
            case '\r': quoted += "\\r"; break;
            case '\n': quoted += "\\n"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    quoted += "\\u00";
                    quoted += kHex[static_cast<unsigned char>(c) >> 4];
                    quoted += kHex[static_cast<unsigned char>(c) & 0x0F];
                } else {
                    quoted += c;
                }
        }
    }
    quoted += '"';
    return quoted;
}

void TelemetryBody::StartMember(std::string_view name) {
    if (!empty_) text_ += ",\n";
    empty_ = false;
    text_ += '"';
    text_ += name;
    text_ += "\":";
}

void TelemetryBody::AddInteger(std::string_view name, std::int64_t value) {
    StartMember(name);
    text_ += std::to_string(value);
}

void TelemetryBody::AddString(std::string_view name, std::string_view value) {
    StartMember(name);
    if (IsEmbeddableJson(value)) text_ += value;
    else text_ += QuoteJsonString(value);
}

std::string TelemetryBody::Finish() && {
    text_ += "\n}";
    return std::move(text_);
}

}  // namespace ScanEngine::Policy
