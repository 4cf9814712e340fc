// The instants of a frame's points made at once are those of the point-by-
// point rule, on random frames around daylight-saving changes, midnight, the
// last day of year 9999 and fields out of range.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "frames/PointTimes.h"

TEST(PointTimesTest, AsThePointByPointRule)
{
    std::mt19937 rng(11);
    const auto pick = [&rng](std::initializer_list<int> v) { return *(v.begin() + rng() % v.size()); };
    for (const char* name : {"UTC", "Europe/Berlin", "America/Santiago"}) {
        const auto zone = frames::StationZone::Open(name);
        ASSERT_TRUE(zone) << name;
        EXPECT_EQ(zone->UtcNs({9999, 12, 31, 0, 0, 0, 0}), frames::kNoTimeNs); // beyond int64 ns, no overflow
        auto f = std::make_unique<TFonKadr>();
        for (int frame = 0; frame < 300; ++frame) {
            f->Year = static_cast<int16_t>(pick({2026, 2026, 2027, 9999, 0, -5}));
            f->Month = static_cast<int16_t>(pick({3, 10, 12, 4, 2, 13}));
            f->Day = static_cast<int16_t>(pick({29, 31, 25, 1, 30}));
            f->Hour = static_cast<int16_t>(pick({1, 2, 23, 0, 24}));
            f->Min = static_cast<int16_t>(rng() % 60), f->Sec = static_cast<int16_t>(rng() % 60);
            f->MSec = static_cast<int16_t>(pick({0, 500, 999, 1000}));
            for (TPointTime& t : f->Times)
                t = {static_cast<uint16_t>(pick({0, 1, 2, 3, 23, 24, 40000})), static_cast<uint16_t>(rng() % 61),
                     static_cast<uint16_t>(rng() % 61), static_cast<uint16_t>(pick({0, 1, 999, 1000}))};
            f->Times[0] = {static_cast<uint16_t>(f->Hour), static_cast<uint16_t>(f->Min), static_cast<uint16_t>(f->Sec),
                           static_cast<uint16_t>(f->MSec)}; // the start itself: the same day
            int64_t got[kFonPoints];
            frames::PointTimesNs(*f, kFonPoints, *zone, got);
            for (int k = 1; k <= kFonPoints; ++k)
                ASSERT_EQ(got[k - 1], zone->UtcNs(frames::PointStampOf(*f, k))) << name << " frame " << frame << " point " << k;
        }
    }
}
