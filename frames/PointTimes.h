#pragma once
// The instants of all points of a frame at once: the rule of PointStampOf and
// StationZone::UtcNs, with the frame's date worked out once rather than
// for each of its 600 points.
#include <cstdint>

#include "datafiles/FonKadr.h"
#include "frames/StationZone.h"

namespace frames {

/// out[k - 1] = zone.UtcNs(PointStampOf(f, k)) for the points k = 1..points.
void PointTimesNs(const TFonKadr& f, int points, const StationZone& zone, int64_t* out);

/// Wall seconds from instant `fromNs` to `toNs` (ns since the epoch), as
/// they are (negative when the clock was set back between them); NaN when
/// either is kNoStampNs.
double WallSeconds(int64_t fromNs, int64_t toNs);

} // namespace frames
