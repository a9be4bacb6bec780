// The system's text for a Windows error code or an NT status.
#pragma once

#include <cstdint>
#include <string>

namespace Common {

// With bit 28 set the code is taken as an NT status (that bit cleared) and
// looked up in NTDLL's message table. Trailing line breaks and full stops
// are removed. "no error message is available" when the system has none.
std::string FormatWindowsError(std::uint32_t code);

}  // namespace Common
