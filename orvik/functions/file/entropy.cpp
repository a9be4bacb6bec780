// PLACEHOLDER
#include "common/error.h"
#include "file_functions.h"

namespace ScanEngine::File {

std::int64_t Entropy(Invocation&) { throw COMMON_ERROR("PLACEHOLDER Entropy"); }

}  // namespace ScanEngine::File
