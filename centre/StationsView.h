#pragma once
// What the centre's page shows, one row per station: its state (online,
// halted, offline from the will, "нет данных" when the last status is
// older than 30 s), the status's age, live time, cycles and pulses per
// second, free disk, clock, the last frame's centres, and which of these
// are wrong (shown red). /stations.json is these rows; the page
// (StatusPage) fetches it every few seconds.
#include <QByteArray>
#include <cstdint>

#include "centre/CentreStore.h"

namespace centre {

/// Seconds after which a station's last status counts as no data.
inline constexpr double kStaleSeconds = 30;
/// Below this live time (percent) a station is marked.
inline constexpr double kLowLiveTime = 90;
/// Below this free disk space (bytes) a station is marked.
inline constexpr int64_t kLowDisk = int64_t{1} << 30;

/// The rows as a JSON array, at `nowNs` (the centre's clock).
QByteArray StationsJson(const CentreStore& store, int64_t nowNs);
/// The same from a copy of the stations (the page's snapshot).
QByteArray StationsJson(const std::vector<StationInfo>& stations, int64_t nowNs);

} // namespace centre
