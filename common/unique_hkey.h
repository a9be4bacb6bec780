// Owner for an open registry key. Predefined root keys are never handed to
// it: only keys this process opened itself.
#pragma once

#include <windows.h>

#include "common/unique_resource.h"

namespace Common {

struct HkeyTraits {
    using Value = HKEY;
    static HKEY Empty() noexcept { return nullptr; }
    static void Close(HKEY key) noexcept { RegCloseKey(key); }
};

using UniqueHkey = UniqueResource<HkeyTraits>;

}  // namespace Common
