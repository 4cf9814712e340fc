#include "datafiles/FrameEnd.h"

bool IsPointTime(const TPointTime& t)
{
    // The unsaved mark is 0xFFFF in every field; a save cut short while it
    // was put in or taken out leaves it in at least one.
    return t.Hour != 0xFFFF && t.Min != 0xFFFF && t.Sec != 0xFFFF && t.MSec != 0xFFFF;
}

int32_t StopPoint(const TFonKadr& k, bool lastRecord)
{
    if (!lastRecord)
        return 0;
    for (int i = 0; i < kFonPoints; ++i)
        if ((k.Counts1[i] == 0 && k.Counts2[i] == 0 && k.Counts3[i] == 0 && k.Counts4[i] == 0) ||
            !IsPointTime(k.Times[i]))
            return i + 1;
    return 0;
}

int32_t FrameEndPoint(const TFonKadr& k, bool lastRecord)
{
    const int32_t stop = StopPoint(k, lastRecord);
    return stop != 0 ? stop : kFonPoints;
}

TPointTime FrameEndTime(const TFonKadr& k, bool lastRecord)
{
    const int32_t end = FrameEndPoint(k, lastRecord);
    if (IsPointTime(k.Times[end - 1]))
        return k.Times[end - 1];
    if (end >= 2)
        return k.Times[end - 2];
    return {static_cast<uint16_t>(k.Hour), static_cast<uint16_t>(k.Min), static_cast<uint16_t>(k.Sec),
            static_cast<uint16_t>(k.MSec)};
}
