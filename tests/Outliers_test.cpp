// Marking of frames whose rate or centre lies more than 5 MADs from the median.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "trend/Outliers.h"

TEST(Outliers, MoreThanFiveMadsFromTheMedian)
{
    const float nan = NAN;
    const struct {
        std::vector<float> values;
        double resolution;
        std::vector<size_t> marked;
    } rows[] = {
        {{10, 11, 9, 10, 12, 10, 30}, 0, {6}},          // MAD 1: 30 is 20 away
        {{0, 0, 1, 1, 2, 6}, 0, {}},                     // median 1, MAD 1: 6 is exactly 5 away
        {{0, 0, 1, 1, 2, 7}, 0, {5}},
        {{10, 10, 10, 10, 11}, 0, {4}},                  // MAD 0: any other value
        {{70, 70, 70, 71, 69, 70, 77}, 1, {6}},          // centres: MAD taken as 1 bin at least
        {{nan, 5, 5, 6, 5, 100, nan}, 0, {3, 5}},        // NaN neither counts nor is marked
        {{nan, nan}, 0, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.values));
        EXPECT_EQ(OutlierIndices(row.values, row.resolution), row.marked);
    }
}

TEST(Outliers, TableMarksRatesAndCentresPerChannel)
{
    TrendTable t;
    for (int r = 0; r < 20; ++r) {
        FrameNumbers n;
        for (int c = 1; c <= kFonChannels; ++c)
            n.Channels[c - 1] = {50.0 * c + r % 3, 60 + r % 2, {}, -2, {}};
        n.Channels[2].Rate = r == 7 ? 500 : n.Channels[2].Rate;     // channel 3 counts far too much
        n.Channels[0].Centre = r == 12 ? 90 : n.Channels[0].Centre; // the peak of channel 1 moved
        t.Append(1, r, n);
    }
    const auto m = MarkOutliers(t);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(std::tie(m[0].Row, m[0].Channel, m[0].What, m[0].Value),
              std::make_tuple(size_t{7}, 3, TrendQuantity::Rate, 500.0f));
    EXPECT_EQ(std::tie(m[1].Row, m[1].Channel, m[1].What, m[1].Value),
              std::make_tuple(size_t{12}, 1, TrendQuantity::Centre, 90.0f));
}
