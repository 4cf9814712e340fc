#include "export/RecordTimes.h"

#include <chrono>

namespace dataexport {
namespace {

std::chrono::year_month_day Date(const Stamp& s)
{
    return std::chrono::year{s.Year} / std::chrono::month{static_cast<unsigned>(s.Month)} /
           std::chrono::day{static_cast<unsigned>(s.Day)};
}

/// A real date and time with a four-digit year: never a zeroed stamp.
bool Valid(const Stamp& s) { return StampValid(s) && s.Year >= 1 && s.Year <= 9999; }

} // namespace

std::string IsoText(const Stamp& s) { return Valid(s) ? StampIso(s) : std::string(); }

Stamp FrameStart(const TFonKadr& f) { return StampOf(f); }

Stamp EventStamp(const TRadKadr& e) { return {e.Year, e.Month, e.Day, e.Hour, e.Min, e.Sec, e.MSec}; }

Stamp PointStamp(const TFonKadr& f, int k)
{
    const TPointTime& t = f.Times[k - 1];
    // Point times are unsigned in the record; one past 32767 wraps to a
    // negative field, which is as invalid as it was.
    const auto field = [](uint16_t v) { return static_cast<int16_t>(v); };
    Stamp s{f.Year, f.Month, f.Day, field(t.Hour), field(t.Min), field(t.Sec), field(t.MSec)};
    if (!Valid(s) || !Valid(FrameStart(f)))
        return s;
    const auto ms = [](int h, int m, int sec, int msec) { return ((h * 60 + m) * 60 + sec) * 1000 + msec; };
    if (ms(t.Hour, t.Min, t.Sec, t.MSec) < ms(f.Hour, f.Min, f.Sec, f.MSec)) {
        const std::chrono::year_month_day next{std::chrono::sys_days{Date(s)} + std::chrono::days{1}};
        s.Year = static_cast<int16_t>(static_cast<int>(next.year()));
        s.Month = static_cast<int16_t>(static_cast<unsigned>(next.month()));
        s.Day = static_cast<int16_t>(static_cast<unsigned>(next.day()));
    }
    return s;
}

} // namespace dataexport
