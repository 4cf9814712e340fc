#include "coincidence/FindCoincidences.h"

#include <algorithm>
#include <queue>

namespace coinc {

std::vector<Merged> MergeStations(std::span<const StationEvents> stations)
{
    size_t total = 0;
    for (const StationEvents& s : stations)
        total += s.events.size();
    std::vector<Merged> stream;
    stream.reserve(total);
    // k-way merge of the sorted lists through a heap of their heads.
    using Head = std::pair<int64_t, std::pair<int32_t, size_t>>; // ns, (station, index)
    std::priority_queue<Head, std::vector<Head>, std::greater<>> heads;
    for (size_t i = 0; i < stations.size(); ++i)
        if (!stations[i].events.empty())
            heads.push({stations[i].events[0].ns, {static_cast<int32_t>(i), 0}});
    while (!heads.empty()) {
        const auto [ns, at] = heads.top();
        heads.pop();
        const auto& events = stations[static_cast<size_t>(at.first)].events;
        stream.push_back(Merged{at.first, events[at.second]});
        if (at.second + 1 < events.size())
            heads.push({events[at.second + 1].ns, {at.first, at.second + 1}});
    }
    return stream;
}

std::vector<Coincidence> GroupStream(std::span<const Merged> stream, int64_t windowNs, int64_t firstId)
{
    // best[j]: the best grouping of the first j events, as (events in
    // coincidences, less the sum of the coincidences' spans); from[j]: where
    // its last coincidence begins, or j - 1 when event j - 1 is in none.
    const size_t n = stream.size();
    struct Score {
        int64_t covered = 0, span = 0;
        bool operator<(const Score& o) const { return covered != o.covered ? covered < o.covered : span > o.span; }
    };
    std::vector<Score> best(n + 1);
    std::vector<size_t> from(n + 1, 0);
    std::vector<bool> grouped(n + 1, false);
    for (size_t j = 1; j <= n; ++j) {
        best[j] = best[j - 1];
        from[j] = j - 1;
        const Merged& last = stream[j - 1];
        bool mixed = false; // the run from i to j - 1 holds two stations or more
        // Every run that ends at event j - 1 and lies within one window; of
        // equal ones the earliest start wins, as the walk from the first
        // event would take it.
        for (size_t i = j - 1; i-- > 0 && last.event.ns - stream[i].event.ns <= windowNs;) {
            mixed = mixed || stream[i].station != last.station;
            if (!mixed)
                continue;
            const Score s{best[i].covered + static_cast<int64_t>(j - i),
                          best[i].span + (last.event.ns - stream[i].event.ns)};
            if (best[j] < s || (grouped[j] && !(s < best[j]))) {
                best[j] = s;
                from[j] = i;
                grouped[j] = true;
            }
        }
    }
    std::vector<Coincidence> found;
    for (size_t j = n; j > 0; j = from[j])
        if (grouped[j]) {
            Coincidence c;
            c.members.assign(stream.begin() + static_cast<std::ptrdiff_t>(from[j]),
                             stream.begin() + static_cast<std::ptrdiff_t>(j));
            found.push_back(std::move(c));
        }
    std::reverse(found.begin(), found.end());
    for (size_t k = 0; k < found.size(); ++k)
        found[k].id = firstId + static_cast<int64_t>(k);
    return found;
}

std::vector<Coincidence> FindCoincidences(std::span<const StationEvents> stations, int64_t windowNs)
{
    const std::vector<Merged> stream = MergeStations(stations);
    return GroupStream(stream, windowNs);
}

} // namespace coinc
