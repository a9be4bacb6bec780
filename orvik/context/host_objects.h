// Owners for objects the host hands back through out pointers. Each one is
// released exactly once, through its own release operation.
#pragma once

#include <memory>
#include <string>

#include "common/non_copyable.h"
#include "host_abi.h"

namespace ScanEngine {

template <typename T>
struct HostObjectRelease {
    void operator()(T* object) const noexcept {
        if (object->Release != nullptr) object->Release(object);
    }
};

template <typename T>
using HostObject = std::unique_ptr<T, HostObjectRelease<T>>;

using HostErrorObject = HostObject<Abi::HostError>;
using UnixAccountInfoObject = HostObject<Abi::UnixAccountInfo>;

// Owns one sized buffer; the host fills `Out()` and the holder releases it.
class SizedBufferHolder : public Common::NonCopyable {
public:
    SizedBufferHolder() = default;
    ~SizedBufferHolder() override {
        if (buffer_ != nullptr && buffer_->Release != nullptr) buffer_->Release(buffer_);
    }
    Abi::SizedBuffer** Out() { return &buffer_; }
    Abi::SizedBuffer* Get() const { return buffer_; }
    // The buffer's bytes; empty when the host gave no buffer or no data.
    std::string Bytes() const;

private:
    Abi::SizedBuffer* buffer_ = nullptr;
};

// The message of a host error object, or "" when it has none.
std::string HostErrorMessage(const Abi::HostError* error);

}  // namespace ScanEngine
