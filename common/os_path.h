// UTF-8 paths as Windows wants them: wide, with the long-path prefix where a
// drive path is too long for the classic limit and for every UNC path. Pure
// computation, so it is tested natively as well.
#pragma once

#include <cstddef>
#include <cwchar>
#include <memory>
#include <string>

namespace Common {

// The unit of a wide path: wchar_t where it is 16 bits (Windows), char16_t
// elsewhere.
#if WCHAR_MAX == 0xFFFF
using PathUnit = wchar_t;
#else
using PathUnit = char16_t;
#endif

using WidePath = std::unique_ptr<PathUnit[]>;

// The wide form of `length` bytes of `path`, NUL-terminated; `out_length`
// gets its length in units without the terminator. Never fails: bad input
// becomes U+FFFD, one per run. No normalisation: separators, "." and ".."
// pass through. First match wins:
//   "\\?\..."                    unchanged;
//   "X:..." (ASCII letter)       unchanged below 260 bytes, else "\\?\" in
//                                front; the drive letter made upper-case;
//   "\\server..." (not "\\\", "\\?")  "\\?\UNC\server...", at any length;
//   anything else                unchanged.
WidePath os_path_to_winapi(const char* path, std::size_t length, std::size_t& out_length);

#if WCHAR_MAX == 0xFFFF
// os_path_to_winapi as a string.
std::wstring PathToWinApi(const std::string& path);
#endif

}  // namespace Common
