// Filling a list whose length the system tells only afterwards: it reports how
// many entries it has, which may be more than the list offered could hold.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace ScanEngine::Process {

// `enumerate(entries, capacity, available)` fills at most `capacity` entries,
// sets `available` to how many there are and gives false on failure. The list
// starts with `initial` entries and is enlarged and filled again while it is
// too small. Something that outgrows it every time gets, after `rounds`
// attempts, the entries of the last (full) list. Never more entries than were
// filled; nothing when an enumeration fails.
template <typename Entry, typename Enumerate>
std::optional<std::vector<Entry>> EnumerateGrowing(Enumerate&& enumerate, std::size_t initial, int rounds = 8) {
    std::vector<Entry> entries(initial);
    for (int round = 1;; ++round) {
        std::size_t available = 0;
        if (!enumerate(entries.data(), entries.size(), available)) return std::nullopt;
        if (available <= entries.size()) {
            entries.resize(available);
            return entries;
        }
        if (round >= rounds) return entries;
        // Some room to spare for entries added meanwhile.
        entries.resize(available + 64);
    }
}

}  // namespace ScanEngine::Process
