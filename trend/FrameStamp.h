#pragma once
// The start stamp of a background frame as a point in time: seconds for a
// date-time axis and ISO 8601 text for files read by scripts.
#include <cstdint>
#include <string>

#include "datafiles/FonKadr.h"

/// Date and time of a frame start as stored in the record (local wall time
/// of the station, no time zone).
struct FrameStamp {
    int16_t Year = 0, Month = 0, Day = 0;
    int16_t Hour = 0, Min = 0, Sec = 0, MSec = 0;
};

/// The start stamp of a record.
FrameStamp StampOf(const TFonKadr& k);

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
