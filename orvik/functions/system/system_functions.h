// System functions: commands and the process environment, the registry,
// volumes and WMI event consumers.
#pragma once

#include <cstdint>

#include "orvik/context/handler_frame.h"

namespace ScanEngine::System {

std::int64_t OsExecute(Invocation& call);
std::int64_t OsGetenv(Invocation& call);

std::int64_t RegistryKeyExists(Invocation& call);
std::int64_t RegistryReadString(Invocation& call);
std::int64_t RegistryDeleteKey(Invocation& call);
std::int64_t RegistryDeleteValue(Invocation& call);
std::int64_t RegistryParseInt(Invocation& call);
std::int64_t RegistryParseString(Invocation& call);

std::int64_t GetVolumeSerial(Invocation& call);
std::int64_t GetVolumeType(Invocation& call);
std::int64_t GetVolumesMap(Invocation& call);

std::int64_t GetConsumerPayload(Invocation& call);

}  // namespace ScanEngine::System
