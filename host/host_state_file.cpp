#include "host_state_file.h"

#include <windows.h>
#include <sddl.h>

#include <memory>

#include "common/utf.h"
#include "host_state_reader.h"

namespace RefHost {
namespace {

// A SID in any text form the system reads, as the binary form the process record carries.
std::optional<std::string> BinarySid(const std::string& text) {
    PSID raw = nullptr;
    if (!ConvertStringSidToSidW(Common::Utf8ToWide(text.c_str(), text.size()).c_str(), &raw)) return std::nullopt;
    const std::unique_ptr<void, HLOCAL (*)(HLOCAL)> sid(raw, &LocalFree);
    return std::string(static_cast<const char*>(sid.get()), GetLengthSid(sid.get()));
}

}  // namespace

void LoadHostState(const std::string& json, HostServices& host) {
    auto lock = host.Lock();
    ReadHostState(json, host.State(), &BinarySid, [&](const HostProcess& process) { host.AddProcess(process); });
}

}  // namespace RefHost
