#include "host_objects.h"

namespace ScanEngine {

std::string HostErrorMessage(const Abi::HostError* error) {
    if (error == nullptr || error->Message == nullptr) return {};
    const char* text = error->Message(const_cast<Abi::HostError*>(error));
    return text ? text : "";
}

}  // namespace ScanEngine
