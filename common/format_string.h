// printf-style formatting into an owned std::string, used for every message
// the module writes.
#pragma once

#include <cstdarg>
#include <string>

// gnu_printf keeps the C99 checks with the MinGW C library; clang knows only printf.
#ifdef __clang__
#define ORVIK_PRINTF(format_index, first_arg) __attribute__((format(printf, format_index, first_arg)))
#else
#define ORVIK_PRINTF(format_index, first_arg) __attribute__((format(gnu_printf, format_index, first_arg)))
#endif

namespace Common {

// Formats like snprintf. Should the C library report an encoding error even
// for a generous buffer, the format text itself is returned unformatted so
// that a log line still says something.
std::string FormatString(const char* format, ...) ORVIK_PRINTF(1, 2);
std::string FormatStringV(const char* format, va_list args) ORVIK_PRINTF(1, 0);

}  // namespace Common
