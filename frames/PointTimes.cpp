#include "frames/PointTimes.h"

#include <chrono>
#include <cmath>

namespace frames {
namespace {

int MsOfDay(int h, int m, int s, int ms) { return ((h * 60 + m) * 60 + s) * 1000 + ms; }

/// Wall seconds of the start of a valid date.
int64_t DayWall(int year, int month, int day)
{
    using namespace std::chrono;
    const year_month_day d{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                           std::chrono::day{static_cast<unsigned>(day)}};
    return sys_days{d}.time_since_epoch().count() * 86400LL;
}

} // namespace

void PointTimesNs(const TFonKadr& f, int points, const StationZone& zone, int64_t* out)
{
    // A point's date is the frame's; the next day when the frame start is
    // valid and the point's time of day comes before it. The date is valid
    // when a point stamp with a valid time of day is.
    const FrameStamp date{f.Year, f.Month, f.Day, 0, 0, 0, 0};
    const bool dateOk = StampValid(date) && f.Year >= 1 && f.Year <= 9999;
    const FrameStamp start = StampOf(f);
    const bool startOk = dateOk && StampValid(start);
    const int startMs = startOk ? MsOfDay(start.Hour, start.Min, start.Sec, start.MSec) : 0;
    const int64_t day = dateOk ? DayWall(f.Year, f.Month, f.Day) : 0;
    const bool nextDayOk = !(f.Year == 9999 && f.Month == 12 && f.Day == 31); // else a year 10000
    for (int k = 0; k < points; ++k) {
        const TPointTime& t = f.Times[k];
        // Fields of 32768 and more are negative in a stamp: as invalid as 24 hours.
        if (!dateOk || t.Hour > 23 || t.Min > 59 || t.Sec > 59 || t.MSec > 999) {
            out[k] = kNoTimeNs;
            continue;
        }
        const int ms = MsOfDay(t.Hour, t.Min, t.Sec, t.MSec);
        const bool next = startOk && ms < startMs;
        out[k] = next && !nextDayOk ? kNoTimeNs
                                    : zone.WallUtcNs(day + (next ? 86400 : 0) + ms / 1000, t.MSec);
    }
}

double WallSeconds(int64_t fromNs, int64_t toNs)
{
    if (fromNs == kNoStampNs || toNs == kNoStampNs)
        return std::nan("");
    return static_cast<double>(toNs - fromNs) / 1e9;
}

} // namespace frames
