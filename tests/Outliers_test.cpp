// Marking of frames whose rate or centre lies more than 5 MADs from the
// median and more than 5 of their own statistical errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "frames/FrameNumbers.h"
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
        EXPECT_EQ(trend::OutlierIndices(row.values, std::vector<float>(row.values.size()), row.resolution), row.marked);
    }
}

TEST(Outliers, TableMarksRatesAndCentresPerChannel)
{
    trend::TrendTable t;
    for (int r = 0; r < 20; ++r) {
        frames::FrameNumbers n;
        n.Points = kFonPoints;
        for (int c = 1; c <= kFonChannels; ++c)
            n.Channels[c - 1] = {50.0 * c + r % 3, 60 + r % 2, {}, -2, {}};
        n.Channels[2].MeanPerPoint = r == 7 ? 500 : n.Channels[2].MeanPerPoint;     // channel 3 counts far too much
        n.Channels[0].Centre = r == 12 ? 90 : n.Channels[0].Centre; // the peak of channel 1 moved
        t.Append(1, r, n);
    }
    const auto m = trend::MarkOutliers(t);
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(std::tie(m[0].Row, m[0].Channel, m[0].What, m[0].Value),
              std::make_tuple(size_t{7}, 3, trend::TrendQuantity::Rate, 500.0f));
    EXPECT_EQ(std::tie(m[1].Row, m[1].Channel, m[1].What, m[1].Value),
              std::make_tuple(size_t{12}, 1, trend::TrendQuantity::Centre, 90.0f));
}

TEST(Outliers, SteadyDetectorsHaveNoneAndAGainChangeIsMarked)
{
    // Frames of Poisson counts whose pulse heights spread around a peak;
    // channel 2's gain is raised by half in the last `changed` frames.
    std::mt19937 rng(2026);
    std::vector<std::pair<int, int>> cases(20, {5, 0}); // twenty sets of five steady frames, then a change
    cases.emplace_back(12, 3);
    for (const auto& [frames, changed] : cases) {
        trend::TrendTable t;
        for (int r = 0; r < frames; ++r) {
            auto k = std::make_unique<TFonKadr>();
            *k = TFonKadr{};
            const bool raised = r >= frames - changed;
            for (int c = 1; c <= kFonChannels; ++c) {
                std::poisson_distribution<int32_t> pulses(c == 2 && raised ? 24 : 10 + 5 * c);
                std::normal_distribution<double> height(c == 2 && raised ? 90 : 50 + 5 * c, 12);
                for (int32_t& count : std::span(k->Counts(c), kFonPoints)) {
                    count = pulses(rng);
                    for (int32_t i = 0; i < count; ++i)
                        ++k->Spectr(c)[std::clamp<long>(std::lround(height(rng)), 1, kFonBins) - 1];
                }
            }
            t.Append(0, r, frames::ComputeFrameNumbers(*k, false));
        }
        std::vector<std::tuple<size_t, int, trend::TrendQuantity>> marked, expected;
        for (const trend::Outlier& o : trend::MarkOutliers(t))
            marked.emplace_back(o.Row, o.Channel, o.What);
        for (int r = frames - changed; r < frames; ++r)
            for (trend::TrendQuantity q : {trend::TrendQuantity::Rate, trend::TrendQuantity::Centre})
                expected.emplace_back(size_t(r), 2, q);
        EXPECT_EQ(marked, expected) << frames << " frames, " << changed << " changed";
    }
}

TEST(Outliers, ShortUnchangedFramesAreNotMarkedAndAGainChangeStillIs)
{
    // Spectra shaped as the simulated boards' channel 4 gives them: a third
    // of small pulses falling with scale 13 (those above the limit 20
    // counted), the rest a peak at 62 of width 11; 15 pulses a point. Long frames set the median; frames of a few
    // points (a run of 25 s or less) lie beside them, their peak moving and
    // sitting low by several bins. Channel 2's gain is raised by half in the
    // `changed` last frames, long and short.
    std::mt19937 rng(28);
    const auto frame = [&](int32_t points, bool raised) {
        auto k = std::make_unique<TFonKadr>();
        *k = TFonKadr{};
        for (int c = 1; c <= kFonChannels; ++c) {
            const double gain = c == 2 && raised ? 1.5 : 1.0;
            std::poisson_distribution<int32_t> pulses(15);
            std::exponential_distribution<double> low(1 / 13.0);
            std::normal_distribution<double> peak(62, 11);
            std::bernoulli_distribution small(0.32);
            for (int32_t& count : std::span(k->Counts(c), static_cast<size_t>(points))) {
                count = std::max(1, pulses(rng));
                for (int32_t i = 0; i < count; ++i) {
                    const double h = gain * (small(rng) ? low(rng) : peak(rng));
                    if (h > 20) // the limit
                        ++k->Spectr(c)[std::clamp<long>(std::lround(h), 1, kFonBins) - 1];
                }
            }
        }
        return frames::ComputeFrameNumbers(*k, true);
    };
    for (int changed : {0, 3}) {
        for (int set = 0; set < 10; ++set) {
            trend::TrendTable t;
            const int32_t points[] = {600, 600, 600, 600, 600, 600, 12, 25, 25, 40, 100, 600, 100, 100};
            const int frames = changed > 0 ? 14 : 11;
            for (int r = 0; r < frames; ++r)
                t.Append(0, r, frame(points[r], r >= frames - changed));
            std::vector<std::tuple<size_t, int, trend::TrendQuantity>> marked, expected;
            for (const trend::Outlier& o : trend::MarkOutliers(t))
                if (o.What == trend::TrendQuantity::Centre)
                    marked.emplace_back(o.Row, o.Channel, o.What);
            for (int r = frames - changed; r < frames; ++r)
                expected.emplace_back(size_t(r), 2, trend::TrendQuantity::Centre);
            EXPECT_EQ(marked, expected) << "set " << set << ", " << changed << " changed";
        }
    }
}
