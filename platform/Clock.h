#pragma once
// The clock and calendar: the current date and time read through one small
// interface, so tests can set them.
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>

namespace rt {

/// A moment decoded as the records store it; DayOfWeek 1 = Sunday … 7 = Saturday.
struct DateTimeParts {
    int16_t Year, Month, Day, DayOfWeek;
    int16_t Hour, Min, Sec, MSec;
};

/// Source of the current local date and time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime Now() = 0;
};

/// Sets the clock in use (the system clock unless a test has set another);
/// nullptr restores the system clock.
void SetClock(Clock* clock);

/// Reads the clock in use and decodes it.
DateTimeParts Now();
DateTimeParts Decode(const QDateTime& moment);

/// The system's short date format.
QString ShortDateText(const DateTimeParts& t);
/// The locale's long time format without the time zone ("23:05:30").
QString LongTimeFormat(const QLocale& locale);
/// The time in the system's long time format ("23:05:30", no time zone).
QString LongTimeText(const DateTimeParts& t, const QLocale& locale = QLocale::system());

/// A clock that tells a set moment, moving on by `step` ms at every reading.
class FixedClock : public Clock {
public:
    explicit FixedClock(QDateTime moment, int stepMs = 0) : moment_(std::move(moment)), step_(stepMs) {}
    QDateTime Now() override
    {
        QDateTime t = moment_;
        moment_ = moment_.addMSecs(step_);
        return t;
    }
    void Set(const QDateTime& moment) { moment_ = moment; }

private:
    QDateTime moment_;
    int step_;
};

} // namespace rt
