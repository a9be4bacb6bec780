// What the fuzz targets share: a property check that aborts (libFuzzer keeps the input as a crash) and
// validators of produced text written independently of the code under test.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

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

// The value of a text that must be UTF-8 and strict JSON.
inline Json::Value StrictJson(const std::string& text) {
    Json::Value value;
    std::string errors;
    if (IsUtf8(text) && OrvikTest::ParseStrictJson(text, value, errors)) return value;
    std::fprintf(stderr, "not strict UTF-8 JSON: %s\n%s\n", errors.c_str(), text.substr(0, 400).c_str());
    std::abort();
}

}  // namespace Fuzz
