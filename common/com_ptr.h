// An owned reference to a COM interface: released once, when the owner ends.
#pragma once

#include <unknwn.h>

#include "common/unique_resource.h"

namespace Common {

template <typename Interface>
struct ComReleaseTraits {
    using Value = Interface*;
    static Interface* Empty() noexcept { return nullptr; }
    static void Close(Interface* pointer) noexcept { pointer->Release(); }
};

// Creation functions take `IID_PPV_ARGS(owner.Put())`.
template <typename Interface>
using ComPtr = UniqueResource<ComReleaseTraits<Interface>>;

}  // namespace Common
