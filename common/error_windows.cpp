// The Windows-code constructor of Error lives apart from error.cpp so that
// the rest of Error builds without the Windows API.
#include "common/error.h"
#include "common/windows_error.h"

namespace Common {

Error::Error(std::uint32_t windows_code, const char* source_file, unsigned source_line)
    : Error(WithCode(kKindWindows, windows_code, FormatWindowsError(windows_code), source_file, source_line)) {}

}  // namespace Common
