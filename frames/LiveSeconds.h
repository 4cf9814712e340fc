#pragma once
// Live seconds: the time the background boards were acquiring, as the
// records imply it (each point is kCyclesPerPoint windows of
// boards::kFonWindowNs), and the rates per live second that correct the
// counts for the dead time between readouts.
#include <cstdint>

#include "datafiles/FonKadr.h"
#include "driver/BoardProfiles.h"

namespace frames {

/// Live seconds of one point: 25 cycles × 10 ms = 0.25 s.
inline constexpr double kPointLiveSeconds =
    static_cast<double>(kCyclesPerPoint) * static_cast<double>(boards::kFonWindowNs) / 1e9;

/// Live seconds of `points` recorded points (0 for none or fewer).
double LiveSeconds(int64_t points);

/// `counts` per live second over `liveSeconds`; NaN (never ±inf) when the
/// live time is zero, negative or not a number, or the counts are NaN.
double MeanPerLiveSecond(double counts, double liveSeconds);

} // namespace frames
