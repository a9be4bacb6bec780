// Owners for Windows handles. Each kind knows its own "empty" value: most
// kernel handles use null, file-style handles use INVALID_HANDLE_VALUE.
#pragma once

#include <windows.h>

#include "common/unique_resource.h"

namespace Common {

struct KernelHandleTraits {
    using Value = HANDLE;
    static HANDLE Empty() noexcept { return nullptr; }
    static void Close(HANDLE handle) noexcept { CloseHandle(handle); }
};

struct FileHandleTraits : KernelHandleTraits {
    static HANDLE Empty() noexcept { return INVALID_HANDLE_VALUE; }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;  // processes, threads, tokens, events
using UniqueFile = UniqueResource<FileHandleTraits>;      // CreateFile, snapshots

}  // namespace Common
