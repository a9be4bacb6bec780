// Converters between UTF-8 and UTF-16 for strings that Windows or the host
// hands over. They never fail: bad input becomes U+FFFD (or EF BF BD).
#pragma once

#include <cstddef>
#include <cwchar>
#include <string>
#include <string_view>

namespace Common {

// Decoding stops at the first undecodable byte, which gives one U+FFFD. An
// encoded surrogate gives U+FFFD and decoding goes on, unless it directly
// follows another one: then decoding stops there.
std::u16string Utf8ToUtf16(std::string_view text);

// Whether a text holds a NUL byte: passed on NUL-terminated, such a text
// would stand for a shorter one (another path, key or name), so it is refused
// rather than cut short.
inline bool HoldsNul(std::string_view text) { return text.find('\0') != std::string_view::npos; }

// True when `text` is valid UTF-8 without NUL bytes or encoded surrogates, so
// that every converter renders it whole: the test for texts that name
// something to run, open, query or delete.
bool IsNameText(std::string_view text);

// The form used for paths: decoding goes on after bad input, each
// undecodable byte is consumed alone, and a run of bad input (undecodable
// bytes and encoded surrogates together) gives a single U+FFFD. Returns the
// number of code units; writes them to `out` when it is not null, which must
// then have room for that many.
std::size_t Utf8ToUtf16Replacing(std::string_view text, char16_t* out);
#if WCHAR_MAX == 0xFFFF
std::size_t Utf8ToUtf16Replacing(std::string_view text, wchar_t* out);
#endif

// A high surrogate pairs only with a low surrogate right after it; any other
// surrogate gives EF BF BD and the unit after it is kept.
std::string Utf16ToUtf8(std::u16string_view text);

#if WCHAR_MAX == 0xFFFF
std::wstring Utf8ToWide(const char* text, std::size_t length);
std::wstring Utf8ToWide(const char* nul_terminated);
std::string WideToUtf8(const wchar_t* text, std::size_t length);
#endif

}  // namespace Common
