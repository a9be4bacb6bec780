// Host state files: any text either loads or fails with the reader's own
// error; a text that loads has only the documented top-level members, and
// every process it lists reaches the process sink.
#include <set>
#include <stdexcept>

#include "fuzz_check.h"
#include "host/host_state_reader.h"
#include "orvik/functions/process/sid_parse.h"

namespace {

std::optional<std::string> BinarySid(const std::string& text) {
    std::string sid(68, '\0');
    std::size_t size = sid.size();
    if (!ScanEngine::Process::ParseSidText(text, reinterpret_cast<std::uint8_t*>(sid.data()), size)) return {};
    return sid.substr(0, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string json(reinterpret_cast<const char*>(data), size);
    RefHost::HostState state;
    std::size_t processes = 0;
    try {
        RefHost::ReadHostState(json, state, &BinarySid, [&](const RefHost::HostProcess&) { ++processes; });
    } catch (const std::runtime_error& e) {
        FUZZ_CHECK(std::string_view(e.what()).starts_with("host state: "));
        return 0;
    }
    // The members the README documents.
    static const std::set<std::string> kKnown = {
        "engines", "unix_accounts", "lists", "verdicts", "scan_statistics", "files", "signatures",
        "extended_signatures", "processes", "process_trees", "process_categories", "nt_to_dos",
        "registry_keys", "registry_values"};
    Json::CharReaderBuilder lax;
    Json::Value root;
    std::string errors;
    const std::unique_ptr<Json::CharReader> reader(lax.newCharReader());
    FUZZ_CHECK(reader->parse(json.data(), json.data() + json.size(), &root, &errors) && root.isObject());
    for (const std::string& name : root.getMemberNames()) FUZZ_CHECK(kKnown.count(name) == 1);
    FUZZ_CHECK(processes == (root.isMember("processes") ? root["processes"].size() : 0));
    return 0;
}
