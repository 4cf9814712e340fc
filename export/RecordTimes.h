#pragma once
// Dates and times of the records as text.
#include <cstdint>
#include <string>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"
#include "trend/FrameStamp.h"

namespace dataexport {

/// A stamp as the records keep it (frames and events alike).
using Stamp = FrameStamp;

/// "2026-12-06T09:05:30.012" (ISO 8601, local time of the station), or an
/// empty string when a part is out of its range (a never-set stamp).
std::string IsoText(const Stamp& s);

/// The frame's start stamp.
Stamp FrameStart(const TFonKadr& f);
/// The event's stamp.
Stamp EventStamp(const TRadKadr& e);
/// The stamp of point k (1..600): the frame's date with the point's time,
/// one day later when the point's time of day is before the frame start's
/// (the frame went past midnight).
Stamp PointStamp(const TFonKadr& f, int k);

} // namespace dataexport
