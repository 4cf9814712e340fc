#include "frames/FrameStamp.h"

#include <cmath>
#include <cstdio>

namespace frames {

namespace {

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && LeapYear(y) ? 29 : kDays[m - 1];
}

/// Days from 1970-01-01 to the civil date y-m-d of the proleptic Gregorian
/// calendar: the days-from-civil algorithm of Howard Hinnant (eras of 400
/// years, years starting in March so the leap day comes last).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

/// Inverse of DaysFromCivil: the civil date of day `z` since 1970-01-01.
void CivilFromDays(int64_t z, int64_t& y, int& m, int& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

int64_t MsOfDay(const FrameStamp& s) { return ((s.Hour * 60LL + s.Min) * 60 + s.Sec) * 1000 + s.MSec; }

} // namespace

FrameStamp StampOf(const TFonKadr& k)
{
    return {k.Year, k.Month, k.Day, k.Hour, k.Min, k.Sec, k.MSec};
}

FrameStamp EventStampOf(const TRadKadr& e) { return {e.Year, e.Month, e.Day, e.Hour, e.Min, e.Sec, e.MSec}; }

bool StampValid(const FrameStamp& s)
{
    return s.Month >= 1 && s.Month <= 12 && s.Day >= 1 && s.Day <= DaysInMonth(s.Year, s.Month) && s.Hour >= 0
        && s.Hour <= 23 && s.Min >= 0 && s.Min <= 59 && s.Sec >= 0 && s.Sec <= 59 && s.MSec >= 0 && s.MSec <= 999;
}

double StampSeconds(const FrameStamp& s)
{
    if (!StampValid(s))
        return std::nan("");
    const int64_t days = DaysFromCivil(s.Year, s.Month, s.Day);
    const int64_t secs = days * 86400 + s.Hour * 3600 + s.Min * 60 + s.Sec;
    return static_cast<double>(secs) + s.MSec / 1000.0;
}

std::string StampIso(const FrameStamp& s)
{
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", s.Year, s.Month, s.Day, s.Hour,
                                s.Min, s.Sec, s.MSec);
    return std::string(buf, static_cast<size_t>(n));
}

bool StampReal(const FrameStamp& s)
{
    return StampValid(s) && s.Year >= 1 && s.Year <= 9999;
}

FrameStamp PointStampOf(const TFonKadr& k, int32_t point)
{
    const TPointTime& t = k.Times[point - 1];
    // Point times are unsigned in the record; one past 32767 wraps to a
    // negative field, which is as invalid as it was.
    const auto field = [](uint16_t v) { return static_cast<int16_t>(v); };
    FrameStamp s{k.Year, k.Month, k.Day, field(t.Hour), field(t.Min), field(t.Sec), field(t.MSec)};
    const FrameStamp start = StampOf(k);
    if (!StampReal(s) || !StampReal(start) || MsOfDay(s) >= MsOfDay(start))
        return s;
    int64_t y = 0;
    int m = 0, d = 0;
    CivilFromDays(DaysFromCivil(s.Year, s.Month, s.Day) + 1, y, m, d);
    s.Year = static_cast<int16_t>(y);
    s.Month = static_cast<int16_t>(m);
    s.Day = static_cast<int16_t>(d);
    return s;
}

std::string IsoWithOffset(int64_t utcNs, int offsetSeconds)
{
    const int64_t ms = (utcNs >= 0 ? utcNs / 1000000 : (utcNs - 999999) / 1000000) + offsetSeconds * 1000LL;
    const int64_t days = (ms >= 0 ? ms : ms - 86399999) / 86400000;
    const int64_t inDay = ms - days * 86400000;
    int64_t y = 0;
    int m = 0, d = 0;
    CivilFromDays(days, y, m, d);
    const int off = offsetSeconds < 0 ? -offsetSeconds : offsetSeconds;
    char buf[64];
    const int n = std::snprintf(buf, sizeof buf, "%04lld-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                                static_cast<long long>(y), m, d, static_cast<int>(inDay / 3600000),
                                static_cast<int>(inDay / 60000 % 60), static_cast<int>(inDay / 1000 % 60),
                                static_cast<int>(inDay % 1000), offsetSeconds < 0 ? '-' : '+', off / 3600, off / 60 % 60);
    return std::string(buf, static_cast<size_t>(n));
}

int64_t UtcStampZone::UtcNs(const FrameStamp& s) const
{
    if (!StampReal(s))
        return kNoStampNs;
    const int64_t days = DaysFromCivil(s.Year, s.Month, s.Day);
    return (days * 86400000 + MsOfDay(s)) * 1000000;
}

std::string UtcStampZone::IsoText(int64_t utcNs) const
{
    return utcNs == kNoStampNs ? std::string() : IsoWithOffset(utcNs, 0);
}

} // namespace frames
