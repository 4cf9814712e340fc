#pragma once
// /metrics: the centre and its stations in the Prometheus text format
// (version 0.0.4). Per station: up and state, the last status's age, live
// time per board, cycles and pulses per second, free disk, clock synced
// and its offset from the centre's clock, the last frame's peak centre and
// slope b per channel, records stored and messages refused. For the
// centre: messages taken, refused per reason, and receipts sent and store
// errors where the centre counts them.
#include <QByteArray>
#include <cstdint>

#include "centre/CentreSnapshot.h"

namespace centre {

/// The content type of the text format.
inline constexpr const char* kMetricsType = "text/plain; version=0.0.4; charset=utf-8";

/// The exposition of `s` at `nowNs` (the centre's clock).
QByteArray MetricsText(const CentreSnapshot& s, int64_t nowNs);

/// The state a station is shown in: "online", "halted", "stale" (no
/// status for kStaleSeconds) or "offline" (its will came).
const char* StationState(const StationInfo& s, int64_t nowNs);

} // namespace centre
