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
    std::vector<Coincidence> found;
    size_t i = 0;
    while (i < stream.size()) {
        const int64_t first = stream[i].event.ns;
        size_t end = i + 1;
        bool otherStation = false;
        while (end < stream.size() && stream[end].event.ns - first <= windowNs) {
            otherStation = otherStation || stream[end].station != stream[i].station;
            ++end;
        }
        if (otherStation) {
            Coincidence c;
            c.id = firstId + static_cast<int64_t>(found.size());
            c.members.assign(stream.begin() + static_cast<std::ptrdiff_t>(i),
                             stream.begin() + static_cast<std::ptrdiff_t>(end));
            found.push_back(std::move(c));
        }
        i = end;
    }
    return found;
}

std::vector<Coincidence> FindCoincidences(std::span<const StationEvents> stations, int64_t windowNs)
{
    const std::vector<Merged> stream = MergeStations(stations);
    return GroupStream(stream, windowNs);
}

} // namespace coinc
