// Marking of frames whose rate or centre lies more than 5 MADs from the
// median and more than 5 of their own statistical errors from it.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "trend/FrameNumbers.h"
#include "trend/Outliers.h"

TEST(Outliers, FarFromTheMedianInMadsAndInTheirOwnErrors)
{
    const float nan = NAN, inf = INFINITY;
    const struct {
        std::vector<float> values;
        std::vector<float> errors; // empty: none (0)
        double resolution;
        std::vector<size_t> marked;
    } rows[] = {
        {{10, 11, 9, 10, 12, 10, 30}, {}, 0, {6}},         // MAD 1: 30 is 20 away
        {{0, 0, 1, 1, 2, 6}, {}, 0, {}},                    // median 1, MAD 1: 6 is exactly 5 away
        {{0, 0, 1, 1, 2, 7}, {}, 0, {5}},
        {{10, 10, 10, 10, 11}, {}, 0, {4}},                 // MAD 0: any other value
        {{70, 70, 70, 71, 69, 70, 77}, {}, 1, {6}},         // centres: MAD taken as 1 bin at least
        {{70, 70, 70, 71, 69, 70, 75}, {}, 1, {}},          // 5 bins is not more than 5 bins
        {{nan, 5, 5, 6, 5, 100, nan}, {}, 0, {3, 5}},       // NaN neither counts nor is marked
        {{nan, nan}, {}, 0, {}},
        // Five frames of the same detectors: differences well inside each
        // frame's Poisson error (0.27) are no outliers, however small the MAD.
        {{43.10f, 43.16f, 43.12f, 43.05f, 43.19f}, {0.27f, 0.27f, 0.27f, 0.27f, 0.27f}, 0, {}},
        {{10, 11, 9, 10, 12, 10, 30}, {1, 1, 1, 1, 1, 1, 5}, 0, {}},   // 20 away, error 5: not more than 5 errors
        {{10, 11, 9, 10, 12, 10, 30}, {1, 1, 1, 1, 1, 1, 3.9f}, 0, {6}},
        {{10, 11, 9, 10, 12, 10, 30}, {0, 0, 0, 0, 0, 0, inf}, 0, {}}, // a value without weight
        {{70, 70, 70, 71, 69, 70, 77}, {0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 0.2f, 1.5f}, 1, {}}, // 7 bins, error 1.5
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.values) + " ± " + ::testing::PrintToString(row.errors));
        const std::vector<float> errors = row.errors.empty() ? std::vector<float>(row.values.size()) : row.errors;
        EXPECT_EQ(OutlierIndices(row.values, errors, row.resolution), row.marked);
    }
}

TEST(Outliers, TableMarksRatesAndCentresPerChannel)
{
    TrendTable t;
    for (int r = 0; r < 20; ++r) {
        FrameNumbers n;
        n.Points = kFonPoints;
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

namespace {

/// A frame of detectors counting `rate[c]` pulses a point (Poisson) whose
/// pulse heights spread normally around `peak[c]` (width 12 bins).
std::unique_ptr<TFonKadr> SimulatedFrame(std::mt19937& rng, const double (&rate)[kFonChannels],
                                         const double (&peak)[kFonChannels])
{
    auto k = std::make_unique<TFonKadr>();
    *k = TFonKadr{};
    for (int c = 1; c <= kFonChannels; ++c) {
        std::poisson_distribution<int32_t> pulses(rate[c - 1]);
        std::normal_distribution<double> height(peak[c - 1], 12);
        for (int p = 0; p < kFonPoints; ++p) {
            k->Counts(c)[p] = pulses(rng);
            for (int32_t i = 0; i < k->Counts(c)[p]; ++i) {
                const long bin = std::lround(height(rng));
                if (bin >= 1 && bin <= kFonBins)
                    ++k->Spectr(c)[bin - 1];
            }
        }
    }
    return k;
}

} // namespace

TEST(Outliers, SteadyDetectorsHaveNoneAndAGainChangeIsMarked)
{
    // Channel 2's gain raised by half in the frames from `changedFrom`: its
    // peak moves from bin 60 to 90 and more pulses pass the limit.
    const struct {
        int frames;
        int changedFrom; // frames: none changed
        std::set<std::tuple<size_t, int, TrendQuantity>> marked;
    } rows[] = {
        {5, 5, {}},
        {40, 40, {}},
        {12, 9, {{9, 2, TrendQuantity::Rate}, {9, 2, TrendQuantity::Centre}, {10, 2, TrendQuantity::Rate},
                 {10, 2, TrendQuantity::Centre}, {11, 2, TrendQuantity::Rate}, {11, 2, TrendQuantity::Centre}}},
    };
    std::mt19937 rng(2026);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.frames);
        TrendTable t;
        for (int r = 0; r < row.frames; ++r) {
            const bool changed = r >= row.changedFrom;
            const double rate[] = {30, changed ? 24.0 : 16.0, 43, 11}, peak[] = {70, changed ? 90.0 : 60.0, 80, 62};
            t.Append(0, r, ComputeFrameNumbers(*SimulatedFrame(rng, rate, peak), false));
        }
        std::set<std::tuple<size_t, int, TrendQuantity>> marked;
        for (const Outlier& o : MarkOutliers(t))
            marked.insert({o.Row, o.Channel, o.What});
        EXPECT_EQ(marked, row.marked);
    }
}
