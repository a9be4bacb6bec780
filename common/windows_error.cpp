#include "common/windows_error.h"

#include <windows.h>

#include "common/unique_resource.h"
#include "common/utf.h"

namespace Common {

namespace {

constexpr std::uint32_t kNtStatusBit = 0x10000000u;
constexpr DWORD kNeutralSystemDefault = MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT);
constexpr const char* kNoMessage = "no error message is available";

// A buffer that FormatMessageW allocated.
struct LocalTextTraits {
    using Value = wchar_t*;
    static wchar_t* Empty() noexcept { return nullptr; }
    static void Close(wchar_t* text) noexcept { LocalFree(text); }
};
using LocalBuffer = UniqueResource<LocalTextTraits>;

}  // namespace

std::string FormatWindowsError(std::uint32_t code) {
    // Inserts are never expanded: no arguments are passed, and NT status
    // texts carry placeholders that would otherwise read past them.
    DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    HMODULE source = nullptr;
    DWORD id = code;
    if ((code & kNtStatusBit) != 0) {
        id = code & ~kNtStatusBit;
        flags |= FORMAT_MESSAGE_FROM_HMODULE;
        // ntdll is mapped into every process, so no reference is taken.
        source = GetModuleHandleW(L"NTDLL.DLL");
    }

    LocalBuffer buffer;
    // With FORMAT_MESSAGE_ALLOCATE_BUFFER the buffer argument receives the pointer.
    DWORD length = FormatMessageW(flags, source, id, kNeutralSystemDefault, reinterpret_cast<LPWSTR>(buffer.Put()), 0,
                                  nullptr);
    if (length == 0 || !buffer) {
        return kNoMessage;
    }
    const wchar_t* text = buffer.Get();
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L'.')) {
        --length;
    }
    if (length == 0) {
        return kNoMessage;
    }
    return WideToUtf8(text, length);
}

}  // namespace Common
