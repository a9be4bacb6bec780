// The full file name of a module loaded in another process, however long.
#pragma once

#include <windows.h>

#include <string>

namespace ScanEngine::Process {

// Empty when the name cannot be read (the module is gone, or the handle
// lacks PROCESS_QUERY_INFORMATION | PROCESS_VM_READ).
std::wstring ModuleFileName(HANDLE process, HMODULE module);

}  // namespace ScanEngine::Process
