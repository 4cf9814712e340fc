#pragma once
// The coincidence search over the stations' events.
//
// Algorithm (a sliding window over the merged, sorted instants): walk the
// events of all stations in time order; the earliest event not yet used
// opens a group that takes every later event within `window` of it. A group
// holding events of two or more stations is a coincidence; either way the
// walk goes on after the group, so every event belongs to at most one
// coincidence and each coincidence is found once.
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
