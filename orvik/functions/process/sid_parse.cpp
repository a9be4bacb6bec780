#include "sid_parse.h"

#include <array>
#include <iterator>
#include <limits>

namespace ScanEngine::Process {
namespace {

// Revision, authority and up to eight sub-authorities.
constexpr std::size_t kMaxFields = 10;

bool IsScanSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

enum class Scan { Read, NoNumber, TooLarge };

// One integer conversion at `pos`: white space, an optional sign, decimal
// digits. `magnitude_limit` is the largest magnitude a positive value may
// have; a negative one may be one larger when `signed_field` (two's
// complement). The value comes back as the 64-bit pattern the field would
// hold: negation is modulo 2^32 for unsigned fields, as strtoul does on this
// platform.
Scan ReadNumber(std::string_view text, std::size_t& pos, std::uint64_t magnitude_limit, bool signed_field,
                std::uint64_t& value) {
    while (pos < text.size() && IsScanSpace(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    const std::uint64_t limit = negative && signed_field ? magnitude_limit + 1 : magnitude_limit;
    std::uint64_t magnitude = 0;
    std::size_t digits = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos, ++digits) {
        const auto digit = static_cast<std::uint64_t>(text[pos] - '0');
        if (magnitude > (limit - digit) / 10) return Scan::TooLarge;
        magnitude = magnitude * 10 + digit;
    }
    if (digits == 0) return Scan::NoNumber;
    if (!negative) value = magnitude;
    else if (signed_field) value = std::uint64_t{0} - magnitude;
    else value = static_cast<std::uint32_t>(std::uint32_t{0} - static_cast<std::uint32_t>(magnitude));
    return Scan::Read;
}

}  // namespace

bool ParseSidText(std::string_view text, std::uint8_t* buffer, std::size_t& size) {
    if (text.empty() || text[0] != 'S') return false;
    std::array<std::uint64_t, kMaxFields> fields{};
    std::size_t count = 0;
    std::size_t pos = 1;
    while (count < kMaxFields) {
        if (pos >= text.size() || text[pos] != '-') break;
        ++pos;
        const bool authority = count == 1;
        const Scan scan = authority ? ReadNumber(text, pos, std::numeric_limits<std::int64_t>::max(), true, fields[count])
                                    : ReadNumber(text, pos, std::numeric_limits<std::uint32_t>::max(), false, fields[count]);
        if (scan == Scan::TooLarge) return false;
        if (scan == Scan::NoNumber) break;
        ++count;
    }
    if (count < 2 || fields[0] != 1) return false;
    // A ninth sub-authority does not fit a SID; dropping it would name a different account.
    if (count == kMaxFields && pos < text.size() && text[pos] == '-') {
        std::uint64_t ignored = 0;
        ++pos;
        if (ReadNumber(text, pos, std::numeric_limits<std::uint32_t>::max(), false, ignored) != Scan::NoNumber)
            return false;
    }

    const std::size_t sub_count = count - 2;
    const std::size_t length = 8 + 4 * sub_count;
    if (buffer == nullptr || size < length) return false;
    buffer[0] = 1;
    buffer[1] = static_cast<std::uint8_t>(sub_count);
    for (int i = 0; i < 6; ++i) buffer[2 + i] = static_cast<std::uint8_t>(fields[1] >> (8 * (5 - i)));
    for (std::size_t i = 0; i < sub_count; ++i) {
        const auto sub = static_cast<std::uint32_t>(fields[2 + i]);
        for (int b = 0; b < 4; ++b) buffer[8 + 4 * i + b] = static_cast<std::uint8_t>(sub >> (8 * b));
    }
    size = length;
    return true;
}

std::string SidHexText(const std::uint8_t* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(2 * size);
    for (std::size_t i = 0; i < size; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0xF]);
    }
    return text;
}

const char* SidTypeName(std::uint32_t type) {
    static constexpr const char* kNames[] = {"User",    "Group",   "Domain",   "Alias", "Well Known Group", "Deleted Account",
                                             "Invalid", "Unknown", "Computer", "Label", "Logon Session"};
    return type >= 1 && type <= std::size(kNames) ? kNames[type - 1] : "N/A";
}

}  // namespace ScanEngine::Process
