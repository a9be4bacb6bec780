// The pure half of host state files: the JSON text read into the host's
// plain state. The shape is documented in the README ("Host state files").
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "host_state.h"
#include "process_record_writer.h"

namespace RefHost {

// The binary form of a SID text, nothing when the text is not a SID.
using SidReader = std::function<std::optional<std::string>(const std::string& text)>;
// Takes one process of the process cache.
using ProcessSink = std::function<void(const HostProcess& process)>;

// Adds what `json` describes to `state`. Throws std::runtime_error naming the
// offending member when the text does not have the expected shape; what was
// read before that point stays added.
void ReadHostState(const std::string& json, HostState& state, const SidReader& binary_sid,
                   const ProcessSink& add_process);

}  // namespace RefHost
