#include "load_time_apis.h"

#include "common/system_procedure.h"

namespace ScanEngine::Process {
namespace {

// Safe while the loader holds its lock: kernel32 is always loaded, and
// neither call loads a library.
LoadTimeApis Resolve() noexcept {
    LoadTimeApis apis;
    apis.get_application_user_model_id = Common::SystemProcedure<LoadTimeApis::GetApplicationUserModelIdFn>(
        L"kernel32.dll", "GetApplicationUserModelId");
    return apis;
}

// Initialised with the module's other static objects when the library is
// loaded, before the host can call any handler; const from then on.
const LoadTimeApis kLoadedApis = Resolve();

}  // namespace

const LoadTimeApis& LoadedApis() noexcept { return kLoadedApis; }

}  // namespace ScanEngine::Process
