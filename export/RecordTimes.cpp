#include "export/RecordTimes.h"

namespace dataexport {

std::string IsoText(const Stamp& s) { return StampReal(s) ? StampIso(s) : std::string(); }

Stamp FrameStart(const TFonKadr& f) { return StampOf(f); }

Stamp EventStamp(const TRadKadr& e) { return {e.Year, e.Month, e.Day, e.Hour, e.Min, e.Sec, e.MSec}; }

Stamp PointStamp(const TFonKadr& f, int k) { return PointStampOf(f, k); }

} // namespace dataexport
