#pragma once
// Where the recording of a background frame ends, and its end time.
#include <cstdint>

#include "datafiles/FonKadr.h"

/// False for the mark a save leaves on the point it is filling in until that
/// point is whole (see RecordWriter): a time no clock gives.
bool IsPointTime(const TPointTime& t);

/// The point (1..600) where a stopped run's recording ends: in the last
/// record of a file (`lastRecord`), the first point whose four counts are
/// all 0 (a run stopped mid-frame leaves zeros from there on, the first of
/// them with the stop time) or whose time is none (a save cut short);
/// 0 when there is none or the record is not the last.
int32_t StopPoint(const TFonKadr& k, bool lastRecord);
/// The point (1..600) whose time stamp is shown as the frame's end time:
/// the stop point, else point 600.
int32_t FrameEndPoint(const TFonKadr& k, bool lastRecord);
/// The time shown as the frame's end: that of FrameEndPoint, or, when a
/// save was cut short there, that of the last point recorded before it
/// (the frame's start for none).
TPointTime FrameEndTime(const TFonKadr& k, bool lastRecord);
