// Path conversion: the wide path is valid UTF-16, terminated where its length says, and for valid UTF-8 it is the
// path itself with the prefix its form calls for and an upper-case drive letter.
#include <cctype>

#include "common/os_path.h"
#include "common/utf.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of its own size, so a read past the given length is caught.
    const std::string path(reinterpret_cast<const char*>(data), size);
    std::size_t length = 0;
    const Common::WidePath wide = Common::os_path_to_winapi(path.data(), path.size(), length);
    const std::u16string units(wide.get(), wide.get() + length);
    FUZZ_CHECK(wide[length] == 0 && Fuzz::IsUtf16(units));
    if (!Fuzz::IsUtf8(path)) return 0;

    std::string expected = path;
    const bool drive = size >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]));
    if (path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\")) {
        // taken as it is, device paths too
    } else if (drive) {
        expected[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        if (size >= 260) expected = "\\\\?\\" + expected;
    } else if (size >= 3 && path.starts_with("\\\\") && path[2] != '\\' && path[2] != '?') {
        expected = "\\\\?\\UNC" + path.substr(1);
    }
    FUZZ_CHECK(Common::Utf16ToUtf8(units) == expected);
    return 0;
}
