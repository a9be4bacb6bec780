// Questions about a process that only the host can answer: its process tree
// and the categories of its executable, both as JSON text the module copies
// without reading, and whether the host lets it be terminated.
#include "common/error.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/host_objects.h"
#include "orvik/functions/handlers.h"

namespace ScanEngine::Process {

std::int64_t GetProcessTreeJson(Invocation& call) {
    const auto pid = static_cast<std::uint32_t>(call.args.GetInteger(arg::pid));
    const auto start_time = static_cast<std::uint64_t>(call.args.GetInteger(arg::start_time));
    const auto tree_json = call.args.GetStringAddress(arg::process_tree_json);

    // The host keeps the answer; there is nothing to release.
    Abi::ProcessTreeAnswer* answer = nullptr;
    const std::int32_t status = call.library.GetProcessTreeJson(pid, start_time, &answer);
    if (status != 0) return status;
    if (answer == nullptr) throw COMMON_ERROR("host reported a process tree but gave none");
    if (answer->length == 0) {
        tree_json.Assign("", 0);
    } else {
        if (answer->text == nullptr) throw COMMON_ERROR("host reported a process tree without its text");
        tree_json.Assign(answer->text, answer->length);
    }
    return status;
}

std::int64_t GetProcessCategories(Invocation& call) {
    const std::string file_name = call.args.GetString(arg::file_name);
    const auto categories = call.args.GetStringAddress(arg::process_categories);

    // Released when the call ends, whatever the host's status.
    SizedBufferHolder buffer;
    const std::int32_t status = call.library.GetProcessCategories(file_name, buffer.Put());
    if (status != 0) return status;

    Abi::SizedBuffer* raw = buffer.Get();
    if (raw == nullptr || raw->Size == nullptr || raw->Data == nullptr)
        throw COMMON_ERROR("host reported process categories but gave no readable buffer");
    const std::uint64_t size = raw->Size(raw);
    const std::uint8_t* data = size != 0 ? raw->Data(raw) : nullptr;
    if (size != 0 && data == nullptr) throw COMMON_ERROR("host reported process categories without their text");
    categories.Assign(size != 0 ? static_cast<const void*>(data) : "", size);
    return status;
}

std::int64_t IsProcessTerminable(Invocation& call) {
    return call.library.IsProcessTerminable(call.args.GetString(arg::file_name));
}

}  // namespace ScanEngine::Process
