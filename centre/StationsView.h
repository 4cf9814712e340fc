#pragma once
// What the centre's page shows, one row per station: its state (online,
// halted, offline from the will, "нет данных" when the centre has heard
// nothing of it for 30 s, whatever the station's clock says), the age of
// what was last heard, live time, cycles and pulses per second, free disk,
// clock and its offset from the centre's, the last frame's centres, and
// which of these are wrong (shown red). /stations.json holds the same rows
// and the messages refused, per reason; the page (StatusPage, no outside
// resources) fetches it every few seconds.
#include <QByteArray>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "centre/CentreStore.h"

namespace centre {

/// Seconds without a message after which a station counts as no data.
inline constexpr double kStaleSeconds = 30;
/// A station's clock further off the centre's than this (seconds) is marked.
inline constexpr double kClockOffsetSeconds = 2;
/// Below this live time (percent) a station is marked.
inline constexpr double kLowLiveTime = 90;
/// Below this free disk space (bytes) a station is marked.
inline constexpr int64_t kLowDisk = int64_t{1} << 30;

/// {"stations": the rows, "refused": {reason: count}, "refused_total": n},
/// at `nowNs` (the centre's clock).
QByteArray StationsJson(const CentreStore& store, int64_t nowNs);
/// The same from a copy of the stations (the page's snapshot).
QByteArray StationsJson(const std::vector<StationInfo>& stations, const std::map<std::string, int64_t>& refusedBy,
                        int64_t refused, int64_t nowNs);

} // namespace centre
