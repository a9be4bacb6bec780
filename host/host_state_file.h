// Preloads the reference host's state from a JSON text, so functions can be
// tried against lists, caches and processes without a real engine. The
// shape is documented in the README ("Host state files").
#pragma once

#include <string>

#include "host_services.h"

namespace RefHost {

// Adds what `json` describes to the host's state. Throws std::runtime_error
// naming the offending member when the text does not have the expected shape.
void LoadHostState(const std::string& json, HostServices& host);

}  // namespace RefHost
