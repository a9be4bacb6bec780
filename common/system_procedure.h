// Entries of the system libraries every process has loaded (ntdll,
// kernel32), looked up by name: for calls that are undocumented, newer than
// the oldest system the module runs on, or must not be imported statically.
#pragma once

#include <windows.h>

namespace Common {

// The entry `name` of the loaded module `module`, as a function of type Fn;
// null when the module is not loaded or lacks the entry (GetLastError tells
// which). No reference is taken: such modules stay mapped for the process's
// life. Safe under the loader lock: nothing is loaded.
template <typename Fn>
Fn SystemProcedure(const wchar_t* module, const char* name) noexcept {
    const HMODULE handle = GetModuleHandleW(module);
    if (handle == nullptr) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

}  // namespace Common
