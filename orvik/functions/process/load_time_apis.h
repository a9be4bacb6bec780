// System entry points that not every supported Windows has. Each is looked up
// once, while the module is being loaded, and the table never changes after
// that, so handlers on any thread read it without a lock. Importing them
// statically instead would stop the module from loading on older systems.
#pragma once

#include <windows.h>

namespace ScanEngine::Process {

struct LoadTimeApis {
    using GetApplicationUserModelIdFn = LONG(WINAPI*)(HANDLE process, UINT32* length, PWSTR id);
    // Null when the system has no packaged applications.
    GetApplicationUserModelIdFn get_application_user_model_id = nullptr;
};

// The table as resolved at load time.
const LoadTimeApis& LoadedApis() noexcept;

}  // namespace ScanEngine::Process
