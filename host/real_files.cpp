#include "real_files.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "common/unique_handle.h"
#include "common/utf.h"
#include "common/windows_error.h"

namespace RefHost {
namespace {

std::uint32_t LastError() {
    const DWORD code = GetLastError();
    return code != 0 ? code : ERROR_GEN_FAILURE;
}

}  // namespace

std::uint32_t ReadRealFile(const std::string& path, std::uint64_t max_size,
                           const std::function<void(const std::uint8_t*, std::uint64_t)>& chunk) {
    const std::wstring wide = Common::Utf8ToWide(path.data(), path.size());
    const Common::UniqueFile file(CreateFileW(wide.c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return LastError();
    constexpr DWORD kChunk = 64 * 1024;
    std::vector<std::uint8_t> buffer(kChunk);
    for (std::uint64_t delivered = 0; delivered < max_size;) {
        const auto wanted = static_cast<DWORD>(std::min<std::uint64_t>(kChunk, max_size - delivered));
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer.data(), wanted, &got, nullptr)) return LastError();
        if (got == 0) break;
        chunk(buffer.data(), got);
        delivered += got;
    }
    return 0;
}

std::uint32_t DeleteRealFile(const std::string& path, std::string& message) {
    const std::wstring wide = Common::Utf8ToWide(path.data(), path.size());
    if (DeleteFileW(wide.c_str())) return 0;
    const std::uint32_t code = LastError();
    message = Common::FormatWindowsError(code);
    return code;
}

}  // namespace RefHost
