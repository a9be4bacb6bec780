#include "json_escape.h"

namespace Common {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

void AppendEscaped(std::string& out, std::string_view text, JsonHighBytes high) {
    static constexpr char kHex[] = "0123456789abcdef";
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && high == JsonHighBytes::kKeepUtf8) {
            if (const std::size_t length = Utf8SequenceLength(text.substr(i)); length != 0) {
                out.append(text, i, length);
                i += length;
                continue;
            }
        }
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            default:
                if (byte < 0x20 || byte >= 0x7F) {
                    out += "\\u00";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0x0F];
                } else {
                    out += c;
                }
        }
        ++i;
    }
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text) noexcept {
    if (text.empty()) return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    // The range the second byte must fall in rules out overlong forms,
    // surrogates (ED A0..BF) and code points past U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    const auto second = static_cast<unsigned char>(text[1]);
    if (second < low || second > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsContinuation(static_cast<unsigned char>(text[i]))) return 0;
    }
    return length;
}

std::string JsonEscape(std::string_view text, JsonHighBytes high) {
    std::string out;
    out.reserve(text.size());
    AppendEscaped(out, text, high);
    return out;
}

std::string JsonQuote(std::string_view text, JsonHighBytes high) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    AppendEscaped(out, text, high);
    out += '"';
    return out;
}

}  // namespace Common
