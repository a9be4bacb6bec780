#include "load_time_apis.h"

namespace ScanEngine::Process {
namespace {

// Safe while the loader holds its lock: kernel32 is always loaded, and
// neither call loads a library.
LoadTimeApis Resolve() noexcept {
    LoadTimeApis apis;
    if (const HMODULE kernel32 = GetModuleHandleW(L"kernel32")) {
        apis.get_application_user_model_id = reinterpret_cast<LoadTimeApis::GetApplicationUserModelIdFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel32, "GetApplicationUserModelId")));
    }
    return apis;
}

// Initialised with the module's other static objects when the library is
// loaded, before the host can call any handler; const from then on.
const LoadTimeApis kLoadedApis = Resolve();

}  // namespace

const LoadTimeApis& LoadedApis() noexcept { return kLoadedApis; }

}  // namespace ScanEngine::Process
