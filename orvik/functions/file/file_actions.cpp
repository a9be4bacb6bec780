// The attribute query shared by the file functions, and their error line.
#include <windows.h>

#include <algorithm>

#include "common/error.h"
#include "common/utf.h"
#include "file_actions.h"
#include "file_attribute_data.h"
#include "host_file_read.h"
#include "orvik/context/security_token.h"

namespace ScanEngine::File {
namespace {

std::uint64_t Combine(DWORD high, DWORD low) { return (static_cast<std::uint64_t>(high) << 32) | low; }
std::uint64_t Ticks(const FILETIME& time) { return Combine(time.dwHighDateTime, time.dwLowDateTime); }

}  // namespace

void TakeFileFacts(const WIN32_FILE_ATTRIBUTE_DATA& data, const FileFacts& facts, TimePrecision precision) {
    if (facts.size) *facts.size = Combine(data.nFileSizeHigh, data.nFileSizeLow);
    if (facts.attributes) *facts.attributes = data.dwFileAttributes;
    if (facts.creation_time) *facts.creation_time = FileTimeToUnix(Ticks(data.ftCreationTime), precision);
    if (facts.last_write_time) *facts.last_write_time = FileTimeToUnix(Ticks(data.ftLastWriteTime), precision);
}

std::uint32_t QueryFileAttributes(const std::string& path, const FileFacts& facts, TimePrecision precision) {
    if (!Common::IsNameText(path)) return ERROR_INVALID_NAME;  // would name another file
    const std::wstring wide = Common::Utf8ToWide(path.data(), path.size());
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) {
        // A failure must never read as success, even if the system left no code.
        const DWORD code = GetLastError();
        return code != 0 ? code : ERROR_GEN_FAILURE;
    }
    TakeFileFacts(data, facts, precision);
    return 0;
}

std::int32_t ReadContentThroughHost(Invocation& call, const std::string& path, const std::string& unique_id,
                                    std::uint64_t limit, const ChunkCallback& chunk) {
    if (Common::HoldsNul(path)) return ERROR_INVALID_NAME;
    std::uint64_t delivered = 0;
    return call.library.ReadFileContent(
        GetSecurityToken(call.context.Raw()), path, unique_id, limit,
        [&](const std::uint8_t* bytes, std::uint64_t count) {
            // The host is trusted for its pointer, not for keeping to the limit.
            if (bytes == nullptr || count == 0 || delivered >= limit) return;
            const std::uint64_t take = std::min(count, limit - delivered);
            delivered += take;
            chunk(bytes, take);
        });
}

void LogWindowsError(const CallContextRef& call, std::uint32_t code) {
    if (code == 0) return;
    call.Log(kLogError, COMMON_WINDOWS_ERROR(code).Text());
}

}  // namespace ScanEngine::File
