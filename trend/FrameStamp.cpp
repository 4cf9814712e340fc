#include "trend/FrameStamp.h"

#include <cmath>
#include <cstdio>

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

} // namespace

FrameStamp StampOf(const TFonKadr& k)
{
    return {k.Year, k.Month, k.Day, k.Hour, k.Min, k.Sec, k.MSec};
}

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
