// The vectorised loops of the spectrum commands against the plain rules.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "frames/IntegralSpectrum.h"
#include "frames/PeakCentre.h"
#include "frames/SpectrumKernels.h"

namespace {

using Spectrum = std::array<int16_t, kFonBins>;

/// A peak of random place, width and height over a falling edge, every bin
/// drawn with Poisson noise; now and then a wrapped (negative) counter.
Spectrum NoisySpectrum(std::mt19937& rng)
{
    std::uniform_real_distribution<double> peak(5, 250), width(1, 40), height(0.5, 30000), edge(0, 3000);
    const double p = peak(rng), w = width(rng), h = height(rng), e = edge(rng);
    Spectrum s{};
    for (int bin = 1; bin <= kFonBins; ++bin) {
        const double mean = h * std::exp(-(bin - p) * (bin - p) / (2 * w * w)) + e * std::exp(-bin / 8.0);
        s[bin - 1] = static_cast<int16_t>(std::min(32767, std::poisson_distribution<int>(mean + 1e-9)(rng)));
    }
    if (rng() % 8 == 0)
        s[rng() % kFonBins] = static_cast<int16_t>(-1 - static_cast<int>(rng() % 30000));
    return s;
}

} // namespace

TEST(ScaleBins, EveryCountAgainstThePlainRule)
{
    std::vector<int16_t> counts;
    for (int c = -32768; c <= 32767; ++c)
        counts.push_back(static_cast<int16_t>(c));
    std::vector<int32_t> maxima{1, 2, 3, 7, 99, 100, 101, 199, 200, 255, 256, 4095, 4096, 16383, 16384, 32766, 32767};
    std::mt19937 rng(11);
    for (int i = 0; i < 40; ++i)
        maxima.push_back(1 + static_cast<int32_t>(rng() % 32767));
    std::vector<int32_t> out(counts.size());
    for (const int32_t max : maxima) {
        frames::ScaleBins(counts, max, out);
        for (size_t i = 0; i < counts.size(); ++i)
            ASSERT_EQ(out[i], frames::ScaledCount(counts[i], max)) << counts[i] << "·100/" << max;
    }
}

TEST(SpectrumKernels, PeakSearchesEdgesAndFitRangeAgainstThePlainLoopsOnNoisySpectra)
{
    std::mt19937 rng(23);
    for (int round = 0; round < 4000; ++round) {
        const Spectrum s = NoisySpectrum(rng);
        const int lo = 5 + static_cast<int>(rng() % 60), hi = lo + static_cast<int>(rng() % (kFonBins - lo + 1));

        // The first of the largest counts above 0.
        int32_t first = -1, largest = 0;
        for (int i = lo - 1; i < hi; ++i)
            if (s[i] > largest)
                largest = s[i], first = i - (lo - 1);
        ASSERT_EQ(frames::FirstLargest(std::span(s).subspan(lo - 1, hi - lo + 1)), first);

        // Centre: edges from lo and from hi, the area and the running sum in floats.
        const frames::CentreResult c = frames::PeakCentre(s, lo, hi);
        if (c.Smoothed()) {
            const double level = 0.8 * c.Max;
            int32_t left = 0, right = 0;
            for (int bin = lo; bin <= c.IMax; ++bin)
                left = c.Smooth[bin - 1] <= level ? bin : left;
            for (int bin = hi; bin >= c.IMax; --bin)
                right = c.Smooth[bin - 1] <= level ? bin : right;
            ASSERT_EQ(c.Left, left);
            ASSERT_EQ(c.Right, right);
            if (c.Ok()) {
                float area = 0, running = 0;
                for (int bin = left; bin <= right; ++bin)
                    area += c.Smooth[bin - 1];
                int32_t centre = c.IMax;
                for (int bin = left; bin <= right; ++bin)
                    centre = (running += c.Smooth[bin - 1]) <= area / 2 ? bin : centre;
                ASSERT_EQ(c.Area, area);
                ASSERT_EQ(c.Centre, centre);
            }
        }

        // Integral: the fit range as the last bins at 80 % and above 40 %.
        std::array<float, kFonBins> logIntegr{};
        const frames::IntegralResult r = frames::IntegralSpectrum(s, lo, hi, logIntegr);
        if (r.HasIntegral()) {
            int32_t i1 = 0, i2 = hi;
            for (int bin = r.IMax; bin <= hi; ++bin) {
                i1 = logIntegr[bin - 1] >= 0.8 * double(r.LMax) ? bin : i1;
                i2 = logIntegr[bin - 1] > 0.4 * double(r.LMax) ? bin : i2;
            }
            ASSERT_EQ(r.I1, i1) << "round " << round;
            ASSERT_EQ(r.I2, i2) << "round " << round;
        }
    }
}
