#include "suite_line.h"

#include <algorithm>

namespace OrvikCli {

std::string_view NextSuiteLine(std::string_view text, std::size_t& at) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    std::string_view line = text.substr(at, end - at);
    at = end + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);
    return line;
}

SuiteLineKind KindOfSuiteLine(const std::vector<std::string>& words) {
    if (words.empty() || words[0].starts_with('#')) return SuiteLineKind::kSkipped;
    if (words[0] == "reset" && words.size() == 1) return SuiteLineKind::kReset;
    if (words[0] == "host-state" && words.size() == 2) return SuiteLineKind::kHostState;
    if (words[0] == "expect") return SuiteLineKind::kExpect;
    return SuiteLineKind::kCall;
}

}  // namespace OrvikCli
