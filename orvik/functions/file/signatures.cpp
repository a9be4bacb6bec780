// PLACEHOLDER
#include "common/error.h"
#include "file_functions.h"

namespace ScanEngine::File {

std::int64_t CheckSignature(Invocation&) { throw COMMON_ERROR("PLACEHOLDER CheckSignature"); }
std::int64_t CheckExtendedSignature(Invocation&) { throw COMMON_ERROR("PLACEHOLDER CheckExtendedSignature"); }
std::int64_t IsExecutableSystemCritical(Invocation&) { throw COMMON_ERROR("PLACEHOLDER IsExecutableSystemCritical"); }

}  // namespace ScanEngine::File
