#include "near_names.h"

#include <algorithm>
#include <cctype>

namespace OrvikCli {
namespace {

char Folded(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Edit distance with swaps of neighbouring letters (optimal string
// alignment), in three rows.
std::size_t Distance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> before(b.size() + 1), last(b.size() + 1), row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) last[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const bool same = Folded(a[i - 1]) == Folded(b[j - 1]);
            row[j] = std::min({last[j] + 1, row[j - 1] + 1, last[j - 1] + (same ? 0 : 1)});
            if (i > 1 && j > 1 && Folded(a[i - 1]) == Folded(b[j - 2]) && Folded(a[i - 2]) == Folded(b[j - 1]))
                row[j] = std::min(row[j], before[j - 2] + 1);
        }
        std::swap(before, last);
        std::swap(last, row);
    }
    return last[b.size()];
}

}  // namespace

std::optional<std::string> NearestName(std::string_view typed, const std::vector<std::string_view>& candidates) {
    std::optional<std::string> best;
    std::size_t best_distance = 0;
    for (const std::string_view candidate : candidates) {
        // A name typed as a part of the real one (snapshot for proc_snapshot) counts as one edit.
        std::string folded_typed(typed), folded_candidate(candidate);
        for (char& c : folded_typed) c = Folded(c);
        for (char& c : folded_candidate) c = Folded(c);
        const bool part = typed.size() >= 4 && folded_candidate.find(folded_typed) != std::string::npos;
        const std::size_t distance = part ? 1 : Distance(typed, candidate);
        const std::size_t allowed = std::max<std::size_t>(1, std::max(typed.size(), candidate.size()) / 3);
        if (distance > allowed || (best && distance >= best_distance)) continue;
        best = std::string(candidate);
        best_distance = distance;
    }
    return best;
}

std::string DidYouMean(std::string_view typed, const std::vector<std::string_view>& candidates) {
    const auto nearest = NearestName(typed, candidates);
    return nearest ? " (did you mean '" + *nearest + "'?)" : "";
}

}  // namespace OrvikCli
