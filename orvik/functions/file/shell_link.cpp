// The path a shell link (.lnk file) points to, read through the system's
// shell link object. Nothing is logged: the rule sees only the result.
#include <windows.h>
#include <objidl.h>
#include <shobjidl.h>

#include <cwchar>

#include "common/com_ptr.h"
#include "common/utf.h"
#include "file_actions.h"
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include "orvik/impersonation/impersonation.h"

namespace ScanEngine::File {
namespace {

// The shell link class: {00021401-0000-0000-C000-000000000046}.
constexpr CLSID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr int kTargetCapacity = MAX_PATH;  // wide characters, terminator included

}  // namespace

std::int64_t GetShellLinkTarget(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const auto text = call.args.GetStringAddress(arg::text);
    if (Common::HoldsNul(path)) return -1;  // would load some other file
    call.args.GetName(arg::path);         // so would undecodable bytes: a malformed call
    const std::wstring wide_path = Common::Utf8ToWide(path.data(), path.size());
    wchar_t target[kTargetCapacity] = {};

    const ComInitScope com(COINIT_MULTITHREADED);
    if (com.Failed()) return -1;
    // Declared after the apartment, so both interfaces are released before it ends.
    Common::ComPtr<IShellLinkW> link;
    Common::ComPtr<IPersistFile> file;
    // S_FALSE from GetPath (a target that is no file-system object) is a success.
    const bool found =
        SUCCEEDED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(link.Put()))) &&
        SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(file.Put()))) &&
        SUCCEEDED(file->Load(wide_path.c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(target, kTargetCapacity, nullptr, 0));
    if (!found) return -1;
    // GetPath terminates what it writes, but the length is bounded by the
    // buffer rather than by trust in that.
    text.Assign(Common::WideToUtf8(target, wcsnlen(target, kTargetCapacity)));
    return 0;
}

}  // namespace ScanEngine::File
