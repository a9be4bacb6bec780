// PLACEHOLDER
#include "common/error.h"
#include "file_functions.h"

namespace ScanEngine::File {

std::int64_t EvalHashes(Invocation&) { throw COMMON_ERROR("PLACEHOLDER EvalHashes"); }

}  // namespace ScanEngine::File
