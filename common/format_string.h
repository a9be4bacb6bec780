// printf-style formatting into an owned std::string, used for every message
// the module writes.
#pragma once

#include <cstdarg>
#include <string>

namespace Common {

// Formats like snprintf. Should the C library report an encoding error even
// for a generous buffer, the format text itself is returned unformatted so
// that a log line still says something.
std::string FormatString(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
std::string FormatStringV(const char* format, va_list args) __attribute__((format(gnu_printf, 1, 0)));

}  // namespace Common
