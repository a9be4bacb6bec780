// What the fuzz targets share: a property check that aborts (libFuzzer keeps the input as a crash) and
// validators of produced text written independently of the code under test.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/strict_json.h"

#define FUZZ_CHECK(condition) ((condition) ? void() : ::Fuzz::Fail(#condition, __FILE__, __LINE__))

namespace Fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
    std::abort();
}

// Well-formed UTF-8 by the standard's table: no overlong forms, surrogates or code points past U+10FFFF.
inline bool IsUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto lead = static_cast<unsigned char>(s[i]);
        const std::size_t more = lead < 0x80 ? 0 : lead >> 5 == 6 ? 1 : lead >> 4 == 14 ? 2 : lead >> 3 == 30 ? 3 : 9;
        if (more == 9 || s.size() - i <= more) return false;
        std::uint32_t cp = more == 0 ? lead : lead & (0x3F >> more);
        for (std::size_t k = 1; k <= more; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = cp << 6 | (s[i + k] & 0x3F);
        }
        static constexpr std::uint32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kMin[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}

// Every high surrogate directly followed by a low one, and no other surrogate.
inline bool IsUtf16(std::u16string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] >= 0xDC00 && s[i] <= 0xDFFF) return false;
        if (s[i] >= 0xD800 && s[i] <= 0xDBFF && (++i == s.size() || s[i] < 0xDC00 || s[i] > 0xDFFF)) return false;
    }
    return true;
}

// A literal, or a number in JSON's grammar: no sign but a leading minus, no leading zero, digits around the
// point and after the exponent.
inline bool IsJsonToken(std::string_view t) {
    if (t == "true" || t == "false" || t == "null") return true;
    std::size_t i = t.starts_with('-') ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9') ++i;
        return i - from;
    };
    const std::size_t whole = digits();
    if (whole == 0 || (whole > 1 && t[i - whole] == '0')) return false;
    if (i < t.size() && t[i] == '.' && (++i, digits() == 0)) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        if (++i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        if (digits() == 0) return false;
    }
    return i == t.size();
}

// What the strict reader lets through although JSON does not: control bytes in strings, lax numbers, and
// anything outside strings that is not JSON's own (a byte-order mark, a plus sign).
inline bool IsJsonLexically(std::string_view s) {
    static constexpr std::string_view kTokenChars = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.";
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') {
            for (++i; i < s.size() && s[i] != '"'; ++i) {
                if (static_cast<unsigned char>(s[i]) < 0x20) return false;
                if (s[i] == '\\') ++i;
            }
        } else if (kTokenChars.find(s[i]) != std::string_view::npos) {
            const std::size_t end = std::min(s.find_first_not_of(kTokenChars, i), s.size());
            if (!IsJsonToken(s.substr(i, end - i))) return false;
            i = end - 1;
        } else if (std::string_view(" \t\n\r{}[],:").find(s[i]) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

// The value of a text that must be UTF-8 and strict JSON.
inline Json::Value StrictJson(const std::string& text) {
    Json::Value value;
    std::string errors;
    if (IsUtf8(text) && IsJsonLexically(text) && OrvikTest::ParseStrictJson(text, value, errors)) return value;
    std::fprintf(stderr, "not strict UTF-8 JSON: %s\n%s\n", errors.c_str(), text.substr(0, 400).c_str());
    std::abort();
}

}  // namespace Fuzz
