#pragma once
// The coincidence search over the stations' events.
//
// Algorithm (windows over the merged, sorted instants, chosen by dynamic
// programming): the events of all stations in time order are cut into runs,
// each lying within `window` from its first event to its last; a run that
// holds events of two or more stations is a coincidence. Of all such cuts
// the search takes the one that puts the most events into coincidences
// and, of those, the one whose coincidences are the tightest (least sum of
// their spans); of equal ones, the one whose runs start earliest. So every
// event belongs to at most one coincidence, each is found once, and an
// event of a station that comes by chance just before a shower does not
// cut the shower's later members off its window: the shower's own, tighter
// run is taken. A gap wider than the window ends every run, so the events
// between two such gaps (a chain) are grouped alone.
#include <cstdint>
#include <span>
#include <vector>

#include "coincidence/Events.h"

namespace coinc {

/// An event of the merged stream: its station and the event.
using Merged = Member;

/// The events of all stations in one time-ordered stream (ties by station).
std::vector<Merged> MergeStations(std::span<const StationEvents> stations);

/// Groups a time-ordered stream by the rule above; ids from `firstId` on.
std::vector<Coincidence> GroupStream(std::span<const Merged> stream, int64_t windowNs, int64_t firstId = 1);

/// The coincidences of `stations` with window `windowNs` (> 0).
std::vector<Coincidence> FindCoincidences(std::span<const StationEvents> stations,
                                          int64_t windowNs = kDefaultWindowNs);

} // namespace coinc
