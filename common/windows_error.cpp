#include "common/windows_error.h"

#include <windows.h>

#include "common/non_copyable.h"
#include "common/utf.h"

namespace Common {

namespace {

constexpr std::uint32_t kNtStatusBit = 0x10000000u;
constexpr DWORD kNeutralSystemDefault = MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT);
constexpr const char* kNoMessage = "no error message is available";

// Owns a buffer that FormatMessageW allocated.
class LocalBuffer : NonCopyable {
public:
    LocalBuffer() = default;
    ~LocalBuffer() override {
        if (text_ != nullptr) {
            LocalFree(text_);
        }
    }
    wchar_t* text() const { return text_; }
    // FormatMessageW with FORMAT_MESSAGE_ALLOCATE_BUFFER stores the pointer here.
    LPWSTR receiver() { return reinterpret_cast<LPWSTR>(&text_); }

private:
    wchar_t* text_ = nullptr;
};

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
    DWORD length = FormatMessageW(flags, source, id, kNeutralSystemDefault, buffer.receiver(), 0, nullptr);
    if (length == 0 || buffer.text() == nullptr) {
        return kNoMessage;
    }
    const wchar_t* text = buffer.text();
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' || text[length - 1] == L'.')) {
        --length;
    }
    if (length == 0) {
        return kNoMessage;
    }
    return WideToUtf8(text, length);
}

}  // namespace Common
