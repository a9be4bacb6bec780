#include "module_file_name.h"

#include <psapi.h>

#include <algorithm>
#include <cwchar>

namespace ScanEngine::Process {
namespace {

// The longest path the system accepts, terminator included.
constexpr DWORD kLongestName = 32767;

}  // namespace

std::wstring ModuleFileName(HANDLE process, HMODULE module) {
    // On the heap: a name may need 64 KiB.
    std::wstring name;
    for (DWORD room = MAX_PATH;; room = std::min(room * 2, kLongestName)) {
        name.resize(room);
        const DWORD length = K32GetModuleFileNameExW(process, module, name.data(), room);
        if (length == 0) return {};
        // A name that fills the buffer may have been cut: read it again with more room.
        if (length + 1 < room || room == kLongestName) {
            name.resize(wcsnlen(name.data(), std::min(length, room)));
            return name;
        }
    }
}

}  // namespace ScanEngine::Process
