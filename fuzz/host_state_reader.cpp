// Host state files: any text loads or fails with the reader's own error; a text that loads has only the documented
// top-level members, and every process it lists reaches the process sink.
#include <set>
#include <stdexcept>

#include "fuzz_check.h"
#include "host/host_state_reader.h"
#include "orvik/functions/process/sid_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string json(reinterpret_cast<const char*>(data), size);
    const auto binary_sid = [](const std::string& text) -> std::optional<std::string> {
        std::uint8_t sid[68];
        std::size_t length = sizeof sid;
        if (!ScanEngine::Process::ParseSidText(text, sid, length)) return {};
        return std::string(reinterpret_cast<const char*>(sid), length);
    };
    RefHost::HostState state;
    std::size_t processes = 0;
    try {
        RefHost::ReadHostState(json, state, binary_sid, [&](const RefHost::HostProcess&) { ++processes; });
    } catch (const std::runtime_error& e) {
        FUZZ_CHECK(std::string_view(e.what()).starts_with("host state: "));
        return 0;
    }
    static const std::set<std::string> kDocumented = {
        "engines", "unix_accounts", "lists", "verdicts", "scan_statistics", "files", "signatures", "extended_signatures",
        "processes", "process_trees", "process_categories", "nt_to_dos", "registry_keys", "registry_values"};
    Json::Value root;
    std::string errors;
    const std::unique_ptr<Json::CharReader> lax(Json::CharReaderBuilder().newCharReader());
    FUZZ_CHECK(lax->parse(json.data(), json.data() + json.size(), &root, &errors) && root.isObject());
    for (const std::string& name : root.getMemberNames()) FUZZ_CHECK(kDocumented.count(name) == 1);
    FUZZ_CHECK(processes == (root.isMember("processes") ? root["processes"].size() : 0));
    return 0;
}
