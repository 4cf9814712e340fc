// The numbers of one frame for the trend: rates over the filled points,
// centres and slopes of hand-made spectra with a known peak and slope.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "spectrum/SpectrumBars.h"
#include "trend/FrameNumbers.h"

namespace {

using Count = std::function<int16_t(int bin)>;

/// A frame whose channel c holds count(c, bin) in its spectrum.
std::unique_ptr<TFonKadr> Frame(const std::function<int16_t(int c, int bin)>& count)
{
    auto k = std::make_unique<TFonKadr>();
    *k = TFonKadr{};
    for (int c = 1; c <= kFonChannels; ++c)
        for (int bin = 1; bin <= kFonBins; ++bin)
            k->Spectr(c)[bin - 1] = count(c, bin);
    return k;
}

/// A peak of the single particles at `at`, width 10 bins, on nothing.
Count Peak(int at)
{
    return [at](int bin) { return static_cast<int16_t>(std::lround(2000 * std::exp(-(bin - at) * (bin - at) / 200.0))); };
}

/// The largest count, 100, at bin 40 and counts above it chosen so that the
/// integral from bin k up (bins k+1..215, where the sum of the fit ends) is
/// round(C·(40/k)^g): an integral spectrum falling with slope −g.
Count PowerLaw(double g)
{
    return [g](int bin) {
        const auto integral = [g](int k) { return k >= 215 ? 0L : std::lround(3800 / g * std::pow(40.0 / k, g)); };
        return static_cast<int16_t>(bin < 40 ? 0 : bin == 40 ? 100 : integral(bin - 1) - integral(bin));
    };
}

Count Falling() { return [](int bin) { return static_cast<int16_t>(bin < 10 ? 0 : 1000 - 4 * bin); }; }
Count Nothing() { return [](int) { return int16_t{0}; }; }
Count OnlyAbove(int from) { return [from](int bin) { return static_cast<int16_t>(bin >= from ? 500 : 0); }; }

} // namespace

TEST(FrameNumbers, CentreOfAKnownPeakOrWhyThereIsNone)
{
    const struct {
        Count spectrum;
        int centre; // 0: none
        QString why;
    } rows[kFonChannels] = {
        {Peak(60), 60, {}},
        {Peak(120), 120, {}},
        // The smoothing would reach past bin 256 (as far above as the peak lies above 10).
        {Peak(150), 0, QStringLiteral("Пик слишком близко к концу спектра")},
        {OnlyAbove(226), 0, NoCountsMessage()}, // all counts above the upper bound
    };
    const auto k = Frame([&](int c, int bin) { return rows[c - 1].spectrum(bin); });
    const FrameNumbers n = ComputeFrameNumbers(*k, false);
    for (int c = 1; c <= kFonChannels; ++c) {
        const ChannelNumbers& ch = n.Channels[c - 1];
        SCOPED_TRACE(c);
        EXPECT_EQ(ch.NoCentre, rows[c - 1].why);
        if (rows[c - 1].centre > 0) {
            EXPECT_NEAR(ch.Centre, rows[c - 1].centre, 1); // the area splits at the peak or the bin below
        }
    }
}

TEST(FrameNumbers, SlopeOfAKnownPowerLawOrWhyThereIsNone)
{
    const struct {
        Count spectrum;
        double b; // NaN: none
        QString why;
    } rows[kFonChannels] = {
        {PowerLaw(2), -2, {}},
        {PowerLaw(3), -3, {}},
        // Peak at the lower bound: its reference level is the bin below,
        // which a fresh LogIntegr holds as 0, so the fit range is empty.
        {Falling(), NAN, ShortFitMessage()},
        {Nothing(), NAN, NoCountsMessage()},
    };
    const auto k = Frame([&](int c, int bin) { return rows[c - 1].spectrum(bin); });
    const FrameNumbers n = ComputeFrameNumbers(*k, false);
    for (int c = 1; c <= kFonChannels; ++c) {
        const ChannelNumbers& ch = n.Channels[c - 1];
        SCOPED_TRACE(c);
        EXPECT_EQ(ch.NoB, rows[c - 1].why);
        if (std::isnan(rows[c - 1].b))
            EXPECT_TRUE(std::isnan(ch.B));
        else // log10(integral + 1) bends the line a little where the integral is small
            EXPECT_NEAR(ch.B, rows[c - 1].b, 0.1);
    }
}

TEST(FrameNumbers, RateCountsOnlyThePointsBeforeTheEndOfRecording)
{
    const struct {
        int zeroFrom; // first point whose four counts are 0 (601: none)
        bool last;    // last record of its file
        int points;
    } rows[] = {
        {412, true, 411}, {412, false, 600}, {601, true, 600},
        {600, true, 599}, {1, true, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.zeroFrom);
        auto k = Frame([](int, int) { return int16_t{0}; });
        for (int c = 1; c <= kFonChannels; ++c)
            for (int p = 1; p < row.zeroFrom; ++p)
                k->Counts(c)[p - 1] = c == 2 && p % 2 ? 0 : 10 * c; // some points empty on one channel only
        const FrameNumbers n = ComputeFrameNumbers(*k, row.last);
        EXPECT_EQ(n.Points, row.points);
        const int filled = std::min(row.zeroFrom - 1, row.points);
        for (int c = 1; c <= kFonChannels; ++c) {
            const double sum = c == 2 ? 20.0 * (filled / 2) : 10.0 * c * filled;
            if (row.points == 0) {
                EXPECT_TRUE(std::isnan(n.Channels[c - 1].Rate));
            } else {
                EXPECT_DOUBLE_EQ(n.Channels[c - 1].Rate, sum / row.points);
            }
        }
    }
}
