// File content handed to a rule as it is: read here under the caller's
// identity, or read by the host (bounded) and streamed back in chunks.
#include <cinttypes>

#include "common/format_string.h"
#include "common/os_path_winapi.h"
#include "common/utf.h"
#include "file_actions.h"
#include "host_file_read.h"
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include "orvik/impersonation/run_as_caller.h"

namespace ScanEngine::File {
namespace {

constexpr std::uint64_t kHostReadLimit = 0x100000;
constexpr std::uint32_t kInvalidName = 123;  // the system's code for a malformed path

}  // namespace

std::int64_t ReadTextFile(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const auto text = call.args.GetStringAddress(arg::text);
    std::string content;
    const bool read = RunAsCaller(call, [&] {
        // Refused rather than cut short: a nul would name another file.
        if (Common::HoldsNul(path))
            throw COMMON_ERROR(Common::FormatString("cannot open file for reading: '%s'", path.c_str()))
                .Then(COMMON_WINDOWS_ERROR(kInvalidName));
        content = Common::ReadWholeFile(path);
    });
    // Written on every path, so the rule never sees a stale value.
    text.Assign(content);
    return read ? 0 : -1;
}

std::int64_t ReadTextFileDm(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const std::string unique_id = call.args.GetString(arg::unique_file_id);
    const auto text = call.args.GetStringAddress(arg::text);
    std::string content;
    const std::int32_t status = ReadContentThroughHost(
        call, path, unique_id, kHostReadLimit, [&content](const std::uint8_t* bytes, std::uint64_t count) {
            content.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count));
        });
    if (status != 0) {
        call.context.Log(kLogWarning, Common::FormatString("ReadTextFile failed, path: %s, return value: %" PRIu32,
                                                           path.c_str(), static_cast<std::uint32_t>(status)));
        return status;
    }
    text.Assign(content);
    return 0;
}

}  // namespace ScanEngine::File
