// A process cache record read from a running (or exited, still referenced)
// process, so rules can be tried on real pids without a host-state file.
#pragma once

#include <cstdint>
#include <optional>

#include "process_record_writer.h"

namespace RefHost {

// The record of process `pid` as the system shows it now. A field that
// cannot be read is left unset (or 0); nullopt only when the process cannot
// be opened at all.
std::optional<HostProcess> LiveProcess(std::uint32_t pid);

}  // namespace RefHost
