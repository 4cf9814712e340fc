#include "platform/Clock.h"

#include <QLocale>

namespace rt {
namespace {
class SystemClock : public Clock {
public:
    QDateTime Now() override { return QDateTime::currentDateTime(); }
};
SystemClock g_system;
Clock* g_clock = &g_system;
} // namespace

Clock& CurrentClock() { return *g_clock; }
void SetClock(Clock* clock) { g_clock = clock ? clock : &g_system; }

DateTimeParts Decode(const QDateTime& moment)
{
    const QDate d = moment.date();
    const QTime t = moment.time();
    DateTimeParts p{};
    p.Year = static_cast<int16_t>(d.year());
    p.Month = static_cast<int16_t>(d.month());
    p.Day = static_cast<int16_t>(d.day());
    p.DayOfWeek = static_cast<int16_t>(d.dayOfWeek() % 7 + 1); // Qt: 1 = Monday … 7 = Sunday
    p.Hour = static_cast<int16_t>(t.hour());
    p.Min = static_cast<int16_t>(t.minute());
    p.Sec = static_cast<int16_t>(t.second());
    p.MSec = static_cast<int16_t>(t.msec());
    return p;
}

DateTimeParts Now() { return Decode(g_clock->Now()); }

QString ShortDateText(const DateTimeParts& t)
{
    return QLocale::system().toString(QDate(t.Year, t.Month, t.Day), QLocale::ShortFormat);
}

QString LongTimeText(const DateTimeParts& t)
{
    return QLocale::system().toString(QTime(t.Hour, t.Min, t.Sec, t.MSec), QLocale::LongFormat);
}

} // namespace rt
