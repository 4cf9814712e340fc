#include "export/RecordTimes.h"

#include <chrono>

namespace dataexport {
namespace {

void Digits(std::string& out, int v, int width)
{
    char buf[8];
    for (int i = width - 1; i >= 0; --i, v /= 10)
        buf[i] = static_cast<char>('0' + v % 10);
    out.append(buf, static_cast<size_t>(width));
}

std::chrono::year_month_day Date(const Stamp& s)
{
    return std::chrono::year{s.Year} / std::chrono::month{static_cast<unsigned>(s.Month)} /
           std::chrono::day{static_cast<unsigned>(s.Day)};
}

bool Valid(const Stamp& s)
{
    return s.Year >= 1 && s.Year <= 9999 && s.Month >= 1 && s.Month <= 12 && s.Day >= 1 && Date(s).ok() &&
           s.Hour >= 0 && s.Hour < 24 && s.Min >= 0 && s.Min < 60 && s.Sec >= 0 && s.Sec < 60 && s.MSec >= 0 &&
           s.MSec < 1000;
}

} // namespace

std::string IsoText(const Stamp& s)
{
    std::string out;
    if (!Valid(s))
        return out;
    out.reserve(23);
    Digits(out, s.Year, 4);
    out += '-';
    Digits(out, s.Month, 2);
    out += '-';
    Digits(out, s.Day, 2);
    out += 'T';
    Digits(out, s.Hour, 2);
    out += ':';
    Digits(out, s.Min, 2);
    out += ':';
    Digits(out, s.Sec, 2);
    out += '.';
    Digits(out, s.MSec, 3);
    return out;
}

Stamp FrameStart(const TFonKadr& f) { return {f.Year, f.Month, f.Day, f.Hour, f.Min, f.Sec, f.MSec}; }

Stamp EventStamp(const TRadKadr& e) { return {e.Year, e.Month, e.Day, e.Hour, e.Min, e.Sec, e.MSec}; }

Stamp PointStamp(const TFonKadr& f, int k)
{
    const TPointTime& t = f.Times[k - 1];
    Stamp s{f.Year, f.Month, f.Day, t.Hour, t.Min, t.Sec, t.MSec};
    if (!Valid(s) || !Valid(FrameStart(f)))
        return s;
    const auto ms = [](int h, int m, int sec, int msec) { return ((h * 60 + m) * 60 + sec) * 1000 + msec; };
    if (ms(t.Hour, t.Min, t.Sec, t.MSec) < ms(f.Hour, f.Min, f.Sec, f.MSec)) {
        const std::chrono::year_month_day next{std::chrono::sys_days{Date(s)} + std::chrono::days{1}};
        s.Year = static_cast<int>(next.year());
        s.Month = static_cast<int>(static_cast<unsigned>(next.month()));
        s.Day = static_cast<int>(static_cast<unsigned>(next.day()));
    }
    return s;
}

int EndPoint(const TFonKadr& f, bool lastRecord)
{
    if (!lastRecord)
        return 0;
    for (int i = 0; i < kFonPoints; ++i)
        if (f.Counts1[i] == 0 && f.Counts2[i] == 0 && f.Counts3[i] == 0 && f.Counts4[i] == 0)
            return i + 1;
    return 0;
}

} // namespace dataexport
