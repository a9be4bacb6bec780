// "Did you mean" for the tool: the known name nearest to one mistyped. Pure.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace OrvikCli {

// The candidate nearest to `typed` by edits (insertions, deletions,
// substitutions and swaps of neighbours, letter case ignored), if it is near
// enough to be what was meant: at most a third of the longer name's length,
// and at least one edit allowed; a typed part of a name (four letters or
// more) counts as one edit. Ties go to the earlier candidate.
std::optional<std::string> NearestName(std::string_view typed, const std::vector<std::string_view>& candidates);

// " (did you mean 'NAME'?)" or nothing.
std::string DidYouMean(std::string_view typed, const std::vector<std::string_view>& candidates);

}  // namespace OrvikCli
