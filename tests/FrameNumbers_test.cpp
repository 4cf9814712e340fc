// The numbers of one frame for the trend: rates over the filled points,
// centres and slopes of hand-made spectra with a known peak and slope.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

#include "frames/FrameNumbers.h"

namespace {

using Count = std::function<double(int bin)>;

/// The numbers of a frame whose channel c holds spectra[c-1].
frames::FrameNumbers NumbersOf(const Count (&spectra)[kFonChannels])
{
    auto k = std::make_unique<TFonKadr>();
    *k = TFonKadr{};
    for (int c = 1; c <= kFonChannels; ++c)
        for (int bin = 1; bin <= kFonBins; ++bin)
            k->Spectr(c)[bin - 1] = static_cast<int16_t>(std::lround(spectra[c - 1](bin)));
    return frames::ComputeFrameNumbers(*k, false);
}

/// A peak of the single particles at `at`, width 10 bins, on nothing.
Count Peak(int at) { return [at](int bin) { return 2000 * std::exp(-(bin - at) * (bin - at) / 200.0); }; }

/// The largest count, 100, at bin 40 and counts above it chosen so that the
/// integral from bin k up (bins k+1..215, where the sum of the fit ends) is
/// round(C·(40/k)^g): an integral spectrum falling with slope −g.
Count PowerLaw(double g)
{
    return [g](int bin) {
        const auto integral = [g](int k) { return k >= 215 ? 0L : std::lround(3800 / g * std::pow(40.0 / k, g)); };
        return bin < 40 ? 0.0 : bin == 40 ? 100.0 : double(integral(bin - 1) - integral(bin));
    };
}

/// True when both are NaN, or neither is and they differ by at most tol.
bool Near(double a, double b, double tol)
{
    return std::isnan(a) || std::isnan(b) ? std::isnan(a) && std::isnan(b) : std::fabs(a - b) <= tol;
}

} // namespace

TEST(FrameNumbers, CentreOfAKnownPeakOrWhyThereIsNone)
{
    const frames::SpectrumFault tooHigh = frames::SpectrumFault::PeakNearEnd; // smoothing would pass bin 256
    const struct {
        Count spectrum;
        int centre; // 0: none
        frames::SpectrumFault why;
    } rows[kFonChannels] = {
        {Peak(60), 60, {}},
        {Peak(120), 120, {}},
        {Peak(150), 0, tooHigh},
        {[](int bin) { return bin > 225 ? 500.0 : 0.0; }, 0, frames::SpectrumFault::NoCounts},
    };
    const frames::FrameNumbers n = NumbersOf({rows[0].spectrum, rows[1].spectrum, rows[2].spectrum, rows[3].spectrum});
    for (int c = 1; c <= kFonChannels; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(n.Channels[c - 1].NoCentre, rows[c - 1].why);
        if (rows[c - 1].centre > 0) { // the area splits at the peak or the bin below
            EXPECT_NEAR(n.Channels[c - 1].Centre, rows[c - 1].centre, 1);
        }
    }
}

TEST(FrameNumbers, SlopeOfAKnownPowerLawOrWhyThereIsNone)
{
    const struct {
        Count spectrum;
        double b; // NaN: none
        frames::SpectrumFault why;
    } rows[kFonChannels] = {
        {PowerLaw(2), -2, {}},
        {PowerLaw(3), -3, {}},
        // Peak at the lower bound: its reference level is the bin below,
        // which a fresh LogIntegr holds as 0, so the fit range is empty.
        {[](int bin) { return bin < 10 ? 0.0 : 1000.0 - 4 * bin; }, NAN, frames::SpectrumFault::ShortFit},
        {[](int) { return 0.0; }, NAN, frames::SpectrumFault::NoCounts},
    };
    const frames::FrameNumbers n = NumbersOf({rows[0].spectrum, rows[1].spectrum, rows[2].spectrum, rows[3].spectrum});
    for (int c = 1; c <= kFonChannels; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(n.Channels[c - 1].NoB, rows[c - 1].why);
        // log10(integral + 1) bends the line a little where the integral is small
        EXPECT_TRUE(Near(n.Channels[c - 1].B, rows[c - 1].b, 0.1)) << n.Channels[c - 1].B;
    }
}

TEST(FrameNumbers, RateCountsOnlyThePointsBeforeTheEndOfRecording)
{
    const struct {
        int zeroFrom; // first point whose four counts are 0 (601: none)
        bool last;    // last record of its file
        int points;
    } rows[] = {{412, true, 411}, {412, false, 600}, {601, true, 600}, {600, true, 599}, {1, true, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.zeroFrom);
        auto k = std::make_unique<TFonKadr>();
        *k = TFonKadr{};
        for (int c = 1; c <= kFonChannels; ++c)
            for (int p = 1; p < row.zeroFrom; ++p)
                k->Counts(c)[p - 1] = c == 2 && p % 2 ? 0 : 10 * c; // some points empty on one channel only
        const frames::FrameNumbers n = frames::ComputeFrameNumbers(*k, row.last);
        EXPECT_EQ(n.Points, row.points);
        const int filled = std::min(row.zeroFrom - 1, row.points);
        for (int c = 1; c <= kFonChannels; ++c) {
            const double sum = c == 2 ? 20.0 * (filled / 2) : 10.0 * c * filled;
            EXPECT_TRUE(Near(n.Channels[c - 1].MeanPerPoint, row.points ? sum / row.points : NAN, 1e-12)) << c;
        }
    }
}
