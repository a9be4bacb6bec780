#include "common/format_string.h"

#include <cstddef>
#include <cstdio>

// The retry loop relies on C99 vsnprintf, which reports the length needed
// when the buffer is too small; the msvcrt one returns -1 instead.
#if defined(__MINGW32__) && !__USE_MINGW_ANSI_STDIO
#error "build with __USE_MINGW_ANSI_STDIO=1"
#endif

namespace Common {

namespace {

constexpr std::size_t kInitialSize = 128;
// An encoding error does not depend on the buffer size, so growing on it is
// only a courtesy to odd C libraries; stop well before it gets expensive.
constexpr std::size_t kEncodingRetryLimit = std::size_t{1} << 20;

}  // namespace

std::string FormatStringV(const char* format, va_list args) {
    if (format == nullptr) {
        return {};
    }
    std::string result(kInitialSize, '\0');
    for (;;) {
        va_list attempt;
        va_copy(attempt, args);
        const int length = std::vsnprintf(result.data(), result.size(), format, attempt);
        va_end(attempt);

        if (length < 0) {
            if (result.size() * 2 > kEncodingRetryLimit) {
                return std::string(format);
            }
            result.resize(result.size() * 2);
            continue;
        }
        const auto needed = static_cast<std::size_t>(length);
        if (needed < result.size()) {
            result.resize(needed);
            return result;
        }
        result.resize(needed + 1);
    }
}

std::string FormatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string result = FormatStringV(format, args);
    va_end(args);
    return result;
}

}  // namespace Common
