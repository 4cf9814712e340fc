#pragma once
// The start stamp of a background frame as a point in time: seconds for a
// date-time axis and ISO 8601 text for files read by scripts; the stamps of
// its points; and the station's zone that turns stamps into instants.
#include <cstdint>
#include <string>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"

namespace frames {

/// Date and time of a frame start as stored in the record (local wall time
/// of the station, no time zone).
struct FrameStamp {
    int16_t Year = 0, Month = 0, Day = 0;
    int16_t Hour = 0, Min = 0, Sec = 0, MSec = 0;
};

/// The start stamp of a background frame.
FrameStamp StampOf(const TFonKadr& k);
/// The stamp of a radio event.
FrameStamp EventStampOf(const TRadKadr& e);

/// True when the fields name a real date and time of day (month 1..12, day
/// within the month, hour 0..23, minute and second 0..59, ms 0..999).
bool StampValid(const FrameStamp& s);

/// The stamp as seconds since 1970-01-01 00:00 on a clock without time zone
/// or daylight saving (the wall time read as UTC), as a date-time axis in
/// UTC shows it again; NaN when the stamp is not valid.
double StampSeconds(const FrameStamp& s);

/// "YYYY-MM-DDThh:mm:ss.mmm" (ISO 8601, no zone); the fields as stored when
/// the stamp is not valid, so a file reader sees what the record holds.
std::string StampIso(const FrameStamp& s);

/// Nanoseconds since the epoch of a stamp that is no time.
inline constexpr int64_t kNoStampNs = INT64_MIN;

/// True when the stamp is a valid date and time (StampValid) of a four-digit
/// year, never a zeroed or unsaved stamp.
bool StampReal(const FrameStamp& s);

/// The stamp of point `point` (1..600): the frame's date with the point's
/// time, one day later when the point's time of day is before the frame
/// start's (the frame went past midnight). The fields as stored when the
/// point's or the frame's stamp is not real.
FrameStamp PointStampOf(const TFonKadr& k, int32_t point);

/// "2026-12-08T07:14:53.039+03:00": the instant `utcNs` shown in the local
/// time of a zone whose UTC offset is `offsetSeconds` then.
std::string IsoWithOffset(int64_t utcNs, int offsetSeconds);

/// The zone of a station's clock: turns the local stamps its records keep
/// into instants, and instants into local text with the offset.
class StampZone {
public:
    virtual ~StampZone() = default;
    /// ns since 1970-01-01 UTC of local stamp `s`; kNoStampNs when it is no time.
    virtual int64_t UtcNs(const FrameStamp& s) const = 0;
    /// IsoWithOffset of `utcNs` with the zone's offset at that instant; empty
    /// for kNoStampNs.
    virtual std::string IsoText(int64_t utcNs) const = 0;
};

/// The zone of a clock kept in UTC: stamps are read as UTC as they are.
class UtcStampZone : public StampZone {
public:
    int64_t UtcNs(const FrameStamp& s) const override;
    std::string IsoText(int64_t utcNs) const override;
};

} // namespace frames
