// The original file name from a file's version resource, read through the
// system's version API without the host. Only the first translation counts.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/os_path.h"
#include "common/utf.h"
#include "file_actions.h"
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include "version_query.h"

namespace ScanEngine::File {
namespace {

// Every failure is one line: the step that failed, then the system's code.
std::int64_t Fail(const Invocation& call, const char* step, DWORD code) {
    call.context.Log(kLogWarning,
                     std::string("Failed to get original file name: ") + step + " with error " + std::to_string(code));
    return -1;
}

}  // namespace

std::int64_t GetOriginalFilename(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const auto output = call.args.GetStringAddress(arg::original_filename);
    constexpr const char* kSizeStep = "Failed to get file version info size";
    constexpr const char* kTranslationStep = "Failed to query file version translation info";

    // A nul would have the system read the version of a shorter path.
    if (Common::HoldsNul(path)) return Fail(call, kSizeStep, ERROR_INVALID_NAME);
    const std::wstring wide = Common::PathToWinApi(path);

    const DWORD size = GetFileVersionInfoSizeW(wide.c_str(), nullptr);
    if (size == 0) return Fail(call, kSizeStep, GetLastError());
    std::vector<std::uint8_t> block(size, 0);
    if (!GetFileVersionInfoW(wide.c_str(), 0, size, block.data()))
        return Fail(call, "Failed to get file version info", GetLastError());

    void* translations = nullptr;
    UINT translation_bytes = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translations, &translation_bytes))
        return Fail(call, kTranslationStep, GetLastError());
    const std::size_t inside = 2 * UnitsInside(block.data(), block.size(), translations, translation_bytes / 2);
    const auto first = FirstTranslation(translations, inside);
    // The system answered but without a whole entry: no code of its own to pass on.
    if (!first) return Fail(call, kTranslationStep, ERROR_INVALID_DATA);

    const std::string query = OriginalFilenameQuery(*first);
    const std::wstring wide_query = Common::Utf8ToWide(query.data(), query.size());
    void* value = nullptr;
    UINT length = 0;  // characters, the terminating NUL included
    if (!VerQueryValueW(block.data(), wide_query.c_str(), &value, &length))
        return Fail(call, "Failed to query file version original filename info", GetLastError());
    const std::size_t characters = UnitsInside(block.data(), block.size(), value, length);
    if (characters <= 1) {
        call.context.Log(kLogWarning, "Failed to get original file name: Original filename is null");
        return -1;
    }
    output.Assign(Common::WideToUtf8(static_cast<const wchar_t*>(value), characters - 1));
    return 0;
}

}  // namespace ScanEngine::File
