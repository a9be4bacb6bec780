// File content read by the host on behalf of the process behind the call.
#pragma once

#include <cstdint>
#include <string>

#include "orvik/context/handler_frame.h"

namespace ScanEngine::File {

// Has the host read at most `limit` bytes of `path` for the process behind
// the call, handing them to `chunk` in file order; bytes a host delivers
// beyond the limit are dropped. Returns the host's status; a path with a nul
// is refused with 123 (invalid name) before the host is asked, since the host
// would read the file named by the part before it.
std::int32_t ReadContentThroughHost(Invocation& call, const std::string& path, const std::string& unique_id,
                                    std::uint64_t limit, const ChunkCallback& chunk);

}  // namespace ScanEngine::File
