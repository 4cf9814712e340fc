// Marking of frames whose rate or centre lies more than 5 MADs from the median.
#include <gtest/gtest.h>

#include <cmath>
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
        n.Points = 600;
        for (int c = 1; c <= kFonChannels; ++c) {
            auto& ch = n.Channels[c - 1];
            ch.Rate = 50 * c + r % 3;
            ch.Centre = 60 + r % 2;
            ch.B = -2;
        }
        if (r == 7)
            n.Channels[2].Rate = 500; // channel 3 counts far too much
        if (r == 12)
            n.Channels[0].Centre = 90; // the peak of channel 1 moved
        t.Append(1, r, n);
    }
    const auto marked = MarkOutliers(t);
    ASSERT_EQ(marked.size(), 2u);
    EXPECT_EQ(marked[0].Row, 7u);
    EXPECT_EQ(marked[0].Channel, 3);
    EXPECT_EQ(marked[0].What, TrendQuantity::Rate);
    EXPECT_EQ(marked[0].Value, 500);
    EXPECT_EQ(marked[1].Row, 12u);
    EXPECT_EQ(marked[1].Channel, 1);
    EXPECT_EQ(marked[1].What, TrendQuantity::Centre);
    EXPECT_EQ(marked[1].Value, 90);
}
