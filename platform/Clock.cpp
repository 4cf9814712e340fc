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

QString LongTimeFormat(const QLocale& locale)
{
    // Qt's long time format ends in the time zone ("HH:mm:ss t"); the
    // system's long time format that the windows show has none: the zone
    // fields ("t" … "tttt"), and the blanks or brackets left around them,
    // go. Quoted text stays.
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    out.replace("()", "");
    return out.simplified();
}

QString LongTimeText(const DateTimeParts& t, const QLocale& locale)
{
    return locale.toString(QTime(t.Hour, t.Min, t.Sec, t.MSec), LongTimeFormat(locale));
}

} // namespace rt
