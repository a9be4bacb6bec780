// Questions about a file by path: existence, size, times, attributes. Each
// query runs as the process behind the call; outputs are written after that
// identity has been dropped again.
#include "common/os_path_winapi.h"
#include "common/utf.h"
#include "file_actions.h"
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include "orvik/impersonation/run_as_caller.h"

namespace ScanEngine::File {
namespace {

// 1 or 0 for the check; -1 (logged) when it could not be made.
template <bool (*Check)(const std::string&)>
std::int64_t Exists(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    // A nul would have the system check a shorter path; no such file exists.
    if (Common::HoldsNul(path)) return 0;
    bool found = false;
    if (!RunAsCaller(call, [&] { found = Check(path); })) return -1;
    return found ? 1 : 0;
}

// The Windows code of the query, or -1 when impersonation failed (logged).
std::int64_t QueryAsCaller(Invocation& call, const std::string& path, const FileFacts& query,
                           TimePrecision precision) {
    std::uint32_t code = 0;
    if (!RunAsCaller(call, [&] {
            code = QueryFileAttributes(path, query, precision);
        }))
        return -1;
    return code;
}

// The value of a single-value query, or -1 after logging why there is none.
std::int64_t SingleValue(Invocation& call, const FileFacts& query, const std::uint64_t& value,
                         TimePrecision precision) {
    const std::int64_t code = QueryAsCaller(call, call.args.GetString(arg::path), query, precision);
    if (code == -1) return -1;
    if (code != 0) {
        LogWindowsError(call.context, static_cast<std::uint32_t>(code));
        return -1;
    }
    return static_cast<std::int64_t>(value);
}

}  // namespace

std::int64_t FileExist(Invocation& call) { return Exists<&Common::IsFile>(call); }
std::int64_t DirExist(Invocation& call) { return Exists<&Common::IsDirectory>(call); }

std::int64_t GetFileSize(Invocation& call) {
    std::uint64_t size = 0;
    return SingleValue(call, {.size = &size}, size, TimePrecision::Seconds);
}

std::int64_t GetFileCreationTime(Invocation& call) {
    const TimePrecision precision = ParseTimePrecision(call.args, TimePrecision::Seconds);
    std::uint64_t time = 0;
    return SingleValue(call, {.creation_time = &time}, time, precision);
}

std::int64_t GetFileModificationTime(Invocation& call) {
    const TimePrecision precision = ParseTimePrecision(call.args, TimePrecision::Seconds);
    std::uint64_t time = 0;
    return SingleValue(call, {.last_write_time = &time}, time, precision);
}

std::int64_t GetFileAttributeWord(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const auto output = call.args.GetIntegerAddress(arg::file_attributes);
    std::uint32_t attributes = 0;
    const std::int64_t code = QueryAsCaller(call, path, {.attributes = &attributes}, TimePrecision::Seconds);
    if (code == -1) return -1;
    if (code != 0) {
        LogWindowsError(call.context, static_cast<std::uint32_t>(code));
        return -1;
    }
    output.Assign(attributes);
    return 0;
}

std::int64_t GetFileInfo(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const TimePrecision precision = ParseTimePrecision(call.args, TimePrecision::Seconds);
    const auto bind = [&](ArgName name) { return call.args.GetIntegerAddressIfGiven(name); };
    const auto size_out = bind(arg::file_size);
    const auto creation_out = bind(arg::file_create_time);
    const auto modification_out = bind(arg::file_modify_time);
    const auto attributes_out = bind(arg::file_attributes);

    std::uint64_t size = 0, creation = 0, modification = 0;
    std::uint32_t attributes = 0;
    const std::int64_t code = QueryAsCaller(call, path, {&size, &attributes, &creation, &modification}, precision);
    if (code == -1) return -1;
    // A failed query zeroes every named output, so no stale value survives.
    if (code != 0) size = creation = modification = attributes = 0;
    if (size_out) size_out->Assign(size);
    if (creation_out) creation_out->Assign(creation);
    if (modification_out) modification_out->Assign(modification);
    if (attributes_out) attributes_out->Assign(attributes);
    LogWindowsError(call.context, static_cast<std::uint32_t>(code));
    return code;
}

}  // namespace ScanEngine::File
