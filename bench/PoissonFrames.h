#pragma once
// Background frames as a station records them, for the benchmarks of the
// trend numbers: each channel's spectrum is drawn bin by bin with Poisson
// noise around the simulated detector's amplitude spectrum (a falling part
// of small pulses, the single-particle peak, a power-law tail) at one of
// several gains, so no two frames are alike and no branch learns them.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "datafiles/FonKadr.h"

namespace bench_frames {

/// One detector channel's amplitude spectrum, as the simulated driver
/// models it (amplitudes in codes at unit gain).
struct ChannelShape {
    double peak, width, lowFraction, lowScale, tailFraction, tailIndex, pulsesPerFrame;
};

inline constexpr ChannelShape kShapes[kFonChannels] = {
    {70.0, 13.0, 0.30, 12.0, 0.05, 3.2, 22500},
    {64.0, 12.0, 0.35, 14.0, 0.045, 3.3, 13500},
    {78.0, 14.0, 0.28, 11.0, 0.055, 3.1, 33000},
    {62.0, 11.0, 0.32, 13.0, 0.05, 3.2, 9000},
};

/// Gains of the frames, in units of the unit gain's hundredth.
inline constexpr int kGains[] = {70, 85, 100, 120, 140};

/// Pulses expected per unit of amplitude at amplitude a (unit gain).
inline double Density(const ChannelShape& s, double a)
{
    const double lambda = (a - s.peak) / s.width;
    const double moyal = std::exp(-0.5 * (lambda + std::exp(-lambda))) / std::sqrt(2.0 * std::numbers::pi);
    const double low = std::exp(-a / s.lowScale) / s.lowScale;
    const double tail = a < s.peak ? 0.0 : (s.tailIndex - 1) / s.peak * std::pow(a / s.peak, -s.tailIndex);
    const double peakFraction = 1.0 - s.lowFraction - s.tailFraction;
    return s.pulsesPerFrame * (s.lowFraction * low + peakFraction * moyal / s.width + s.tailFraction * tail);
}

/// `n` frames drawn from `seed`: every channel at a gain of kGains, with
/// amplitude limit 14 (nothing below bin 14), Poisson counts in every bin
/// and in every point.
inline std::vector<TFonKadr> MakeFrames(int n, unsigned seed = 1)
{
    std::mt19937 rng(seed);
    std::vector<TFonKadr> frames(static_cast<size_t>(n));
    constexpr int kLimit = 14;
    for (int f = 0; f < n; ++f) {
        TFonKadr& k = frames[static_cast<size_t>(f)];
        k = TFonKadr{};
        // Stamped as a run writes them: a frame of 600 points of 260 ms
        // each, one after another from midnight (point times past the next
        // midnight wrap, as in the files).
        const int64_t startMs = int64_t{f} * kFonPoints * 260;
        k.KadrNo = static_cast<int16_t>(f % 32767 + 1);
        k.Year = 2026, k.Month = 12, k.Day = static_cast<int16_t>(1 + startMs / 86'400'000 % 28);
        // Hour, minute, second and ms of a time of day.
        const auto timeOf = [](int64_t ms) {
            ms %= 86'400'000;
            return std::array<int, 4>{static_cast<int>(ms / 3'600'000), static_cast<int>(ms / 60'000 % 60),
                                      static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000)};
        };
        const auto st = timeOf(startMs);
        k.Hour = static_cast<int16_t>(st[0]), k.Min = static_cast<int16_t>(st[1]);
        k.Sec = static_cast<int16_t>(st[2]), k.MSec = static_cast<int16_t>(st[3]);
        for (int p = 0; p < kFonPoints; ++p) {
            const auto pt = timeOf(startMs + (p + 1) * 260);
            k.Times[p] = TPointTime{static_cast<uint16_t>(pt[0]), static_cast<uint16_t>(pt[1]),
                                    static_cast<uint16_t>(pt[2]), static_cast<uint16_t>(pt[3])};
        }
        for (int c = 1; c <= kFonChannels; ++c) {
            const ChannelShape& s = kShapes[c - 1];
            const int gain = kGains[(f * 7 + c * 3) % std::size(kGains)];
            const double g = gain / 100.0 * (1.0 + 0.02 * ((f + c) % 5)); // gains drift a little
            k.FGain(c) = static_cast<int16_t>(gain);
            k.Limit(c) = kLimit;
            for (int bin = kLimit; bin <= kFonBins; ++bin) {
                const double mean = Density(s, bin / g) / g;
                k.Spectr(c)[bin - 1] = static_cast<int16_t>(
                    std::min(32767, std::poisson_distribution<int>(std::max(mean, 1e-9))(rng)));
            }
            std::poisson_distribution<int> perPoint(s.pulsesPerFrame / kFonPoints);
            for (int p = 0; p < kFonPoints; ++p)
                k.Counts(c)[p] = perPoint(rng);
        }
    }
    return frames;
}

} // namespace bench_frames
