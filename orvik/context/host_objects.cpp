#include "host_objects.h"

namespace ScanEngine {

std::string SizedBufferHolder::Bytes() const {
    if (buffer_ == nullptr || buffer_->Data == nullptr || buffer_->Size == nullptr) return {};
    const std::uint8_t* data = buffer_->Data(buffer_);
    if (data == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(data), buffer_->Size(buffer_));
}

std::string HostErrorMessage(const Abi::HostError* error) {
    if (error == nullptr || error->Message == nullptr) return {};
    const char* text = error->Message(const_cast<Abi::HostError*>(error));
    return text ? text : "";
}

}  // namespace ScanEngine
