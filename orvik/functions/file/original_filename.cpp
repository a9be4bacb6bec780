// PLACEHOLDER
#include "common/error.h"
#include "file_functions.h"

namespace ScanEngine::File {

std::int64_t GetOriginalFilename(Invocation&) { throw COMMON_ERROR("PLACEHOLDER GetOriginalFilename"); }

}  // namespace ScanEngine::File
