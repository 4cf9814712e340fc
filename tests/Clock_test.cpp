// Time and date texts of the windows: the long time format without a time
// zone, in several locales and in the system's own (the test runs once under
// LC_ALL=C.UTF-8 and once under LC_ALL=ru_RU.UTF-8).
#include <gtest/gtest.h>

#include "platform/Clock.h"

namespace {

const rt::DateTimeParts kEvening{2026, 12, 6, 1, 23, 5, 30, 250};

TEST(ClockTest, LongTimeWithoutTimeZoneInEveryLocale)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C", "23:05:30"},          {"ru_RU", "23:05:30"}, {"de_DE", "23:05:30"},
        {"en_US", "11:05:30 PM"},   {"zh_CN", "23:05:30"}, {"ja_JP", "23時05分30秒"},
    };
    for (const auto& [name, text] : cases)
        EXPECT_EQ(rt::LongTimeText(kEvening, QLocale(name)), QString::fromUtf8(text)) << name;
    // The system's locale, whichever of the two the test runs under.
    EXPECT_EQ(rt::LongTimeText(kEvening), "23:05:30") << QLocale::system().name().toStdString();
}

} // namespace
