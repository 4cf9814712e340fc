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

} // namespace frames
