// The lines of a suite file (see suite.h), as the runner and the function
// reference both read them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace OrvikCli {

// The line that starts at `at`, without its end of line (LF or CR LF); `at`
// moves to the next one. Call while at < text.size().
std::string_view NextSuiteLine(std::string_view text, std::size_t& at);

enum class SuiteLineKind { kSkipped, kReset, kHostState, kExpect, kCall };

// What a line split into words is: blank or a comment, reset, host-state
// FILE, an expectation, or else a call.
SuiteLineKind KindOfSuiteLine(const std::vector<std::string>& words);

}  // namespace OrvikCli
