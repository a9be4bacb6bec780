// Owners for objects the host hands back through out pointers. Each one is
// released exactly once, through its own release operation.
#pragma once

#include <string>

#include "common/unique_resource.h"
#include "host_abi.h"

namespace ScanEngine {

template <typename T>
struct HostObjectTraits {
    using Value = T*;
    static T* Empty() noexcept { return nullptr; }
    static void Close(T* object) noexcept {
        if (object->Release != nullptr) object->Release(object);
    }
};

template <typename T>
using HostObject = Common::UniqueResource<HostObjectTraits<T>>;

using HostErrorObject = HostObject<Abi::HostError>;
using UnixAccountInfoObject = HostObject<Abi::UnixAccountInfo>;
using SizedBufferHolder = HostObject<Abi::SizedBuffer>;  // the host fills Put()

// The message of a host error object, or "" when it has none.
std::string HostErrorMessage(const Abi::HostError* error);

}  // namespace ScanEngine
