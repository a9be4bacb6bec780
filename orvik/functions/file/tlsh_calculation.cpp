// PLACEHOLDER
#include "common/error.h"
#include "file_functions.h"

namespace ScanEngine::File {

std::int64_t EvalTlshHash(Invocation&) { throw COMMON_ERROR("PLACEHOLDER EvalTlshHash"); }

}  // namespace ScanEngine::File
