#include "telemetry_body.h"

#include <exception>
#include <memory>

#include <json/json.h>

#include "common/json_escape.h"

namespace ScanEngine::Policy {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsJsonSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Length of the JSON number at the start of `text`, 0 when there is none:
// no leading zeros, digits on both sides of the point and after the exponent.
std::size_t NumberLength(std::string_view text) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < text.size() && IsDigit(text[i])) ++i;
        return i - from;
    };
    if (i < text.size() && text[i] == '-') ++i;
    if (i < text.size() && text[i] == '0') ++i;
    else if (digits() == 0) return 0;
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (digits() == 0) return 0;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (digits() == 0) return 0;
    }
    // "01" or "1.2.3" would otherwise pass as two numbers the reader takes as one.
    if (i < text.size() && (IsDigit(text[i]) || text[i] == '.' || text[i] == 'e' || text[i] == 'E' ||
                            text[i] == '+' || text[i] == '-'))
        return 0;
    return i;
}

// Length of the string literal at the start of `text` (which starts with a
// quote), 0 when it is unclosed or holds a control byte or malformed UTF-8.
// Escapes are only skipped here; the reader checks them.
std::size_t StringLength(std::string_view text) {
    for (std::size_t i = 1; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '"') return i + 1;
        if (byte < 0x20) return 0;
        if (byte == '\\') {
            i += 2;
        } else if (byte >= 0x80) {
            const std::size_t length = Common::Utf8SequenceLength(text.substr(i));
            if (length == 0) return 0;
            i += length;
        } else {
            ++i;
        }
    }
    return 0;
}

// A flat pass over the tokens, before the reader recurses into the text:
// nesting is counted outside strings and bounded, and the forms the reader
// lets through although strict readers refuse them are caught: lax numbers,
// control bytes and malformed UTF-8 in strings, and anything outside strings
// that is not JSON there (comments, a byte-order mark).
bool TokensAreStrict(std::string_view text) {
    std::size_t depth = 0;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        std::size_t length = 1;
        if (c == '"') {
            length = StringLength(text.substr(i));
        } else if (c == '-' || IsDigit(c)) {
            length = NumberLength(text.substr(i));
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxEmbeddedDepth) return false;
        } else if (c == ']' || c == '}') {
            if (depth-- == 0) return false;
        } else if (!IsJsonSpace(c) && c != ',' && c != ':' && !(c >= 'a' && c <= 'z')) {
            return false;  // letters are the literals' own; the reader checks them
        }
        if (length == 0) return false;
        i += length;
    }
    return true;
}

bool StrictReaderAccepts(std::string_view text) {
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    builder.settings_["skipBom"] = false;
    // The root and a value inside the innermost container count as well.
    builder.settings_["stackLimit"] = static_cast<int>(kMaxEmbeddedDepth) + 1;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    try {
        return reader->parse(text.data(), text.data() + text.size(), &root, &errors) &&
               (root.isArray() || root.isObject());
    } catch (const std::exception&) {
        return false;  // the reader's own depth limit: text, not structure
    }
}

}  // namespace

bool IsEmbeddableJson(std::string_view text) { return TokensAreStrict(text) && StrictReaderAccepts(text); }

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
    else text_ += Common::JsonQuote(value, Common::JsonHighBytes::kKeepUtf8);
}

std::string TelemetryBody::Finish() && {
    text_ += "\n}";
    return std::move(text_);
}

}  // namespace ScanEngine::Policy
