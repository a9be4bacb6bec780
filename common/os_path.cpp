#include "common/os_path.h"

#include <string_view>

#include "common/utf.h"

namespace Common {

namespace {

// Drive paths this long or longer exceed the classic path limit.
constexpr std::size_t kLongPathBytes = 260;

constexpr std::u16string_view kLongPrefix = u"\\\\?\\";
constexpr std::u16string_view kUncPrefix = u"\\\\?\\UNC";

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

PathUnit UpperAscii(PathUnit unit) {
    return unit >= u'a' && unit <= u'z' ? static_cast<PathUnit>(unit - u'a' + u'A') : unit;
}

}  // namespace

WidePath os_path_to_winapi(const char* path, std::size_t length, std::size_t& out_length) {
    const std::string_view bytes = path != nullptr ? std::string_view(path, length) : std::string_view();

    std::u16string_view prefix;
    std::string_view body = bytes;
    bool drive = false;
    if (bytes.substr(0, 4) == "\\\\?\\" || bytes.substr(0, 4) == "\\\\.\\") {
        // Already in the form Windows takes as it is; a device path
        // ("\\.\C:\x", "\\.\pipe\name") is no share name.
    } else if (bytes.size() >= 2 && bytes[1] == ':' && IsAsciiLetter(bytes[0])) {
        drive = true;
        if (bytes.size() >= kLongPathBytes) {
            prefix = kLongPrefix;
        }
    } else if (bytes.size() >= 3 && bytes[0] == '\\' && bytes[1] == '\\' && bytes[2] != '\\' && bytes[2] != '?') {
        // "\\server\share" -> "\\?\UNC\server\share": the body keeps one backslash.
        prefix = kUncPrefix;
        body = bytes.substr(1);
    }

    const std::size_t units = Utf8ToUtf16Replacing(body, static_cast<PathUnit*>(nullptr));
    WidePath wide(new PathUnit[prefix.size() + units + 1]);
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        wide[i] = static_cast<PathUnit>(prefix[i]);
    }
    Utf8ToUtf16Replacing(body, wide.get() + prefix.size());
    out_length = prefix.size() + units;
    wide[out_length] = 0;
    if (drive) {
        wide[prefix.size()] = UpperAscii(wide[prefix.size()]);
    }
    return wide;
}

#if WCHAR_MAX == 0xFFFF
std::wstring PathToWinApi(const std::string& path) {
    std::size_t length = 0;
    const WidePath wide = os_path_to_winapi(path.data(), path.size(), length);
    return std::wstring(wide.get(), length);
}
#endif

}  // namespace Common
