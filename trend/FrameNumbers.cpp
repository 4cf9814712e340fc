#include "trend/FrameNumbers.h"

#include <cmath>
#include <limits>
#include <span>

#include "datafiles/FrameEnd.h"
#include "spectrum/IntegralSpectrum.h"

namespace {

ChannelNumbers ChannelOf(const TFonKadr& k, int c, int32_t points)
{
    ChannelNumbers n;
    int64_t sum = 0;
    const int32_t* counts = k.Counts(c);
    for (int32_t i = 0; i < points; ++i)
        sum += counts[i];
    n.Rate = points > 0 ? static_cast<double>(sum) / points : std::nan("");

    const std::span<const int16_t, kFonBins> spectr(k.Spectr(c), kFonBins);
    const CentreResult centre = PeakCentre(spectr, kTrendLo, kTrendHi);
    if (centre.Ok()) {
        n.Centre = centre.Centre;
        n.CentreError = CentreError(centre);
    } else {
        n.NoCentre = centre.Fault;
    }

    std::array<float, kFonBins> logIntegr{};
    const IntegralResult fit = IntegralSpectrum(spectr, kTrendLo, kTrendHi, logIntegr);
    if (!fit.Ok())
        n.NoB = fit.Fault;
    else if (fit.I2 - fit.I1 + 1 < 2)
        n.NoB = SpectrumFault::ShortFit;
    n.B = n.HasB() ? fit.b : std::nanf("");
    return n;
}

} // namespace

int32_t FilledPoints(const TFonKadr& k, bool lastRecord)
{
    const int32_t stop = StopPoint(k, lastRecord);
    return stop != 0 ? stop - 1 : kFonPoints;
}

float CentreError(const CentreResult& centre)
{
    const double density = centre.Centre >= 1 && centre.Centre <= kFonBins ? centre.Smooth[centre.Centre - 1] : 0;
    if (density <= 0 || centre.Area <= 0)
        return std::numeric_limits<float>::infinity();
    return static_cast<float>(std::sqrt(static_cast<double>(centre.Area)) / (2 * density));
}

FrameNumbers ComputeFrameNumbers(const TFonKadr& k, bool lastRecord)
{
    FrameNumbers f;
    f.Start = StampOf(k);
    f.Points = FilledPoints(k, lastRecord);
    for (int c = 1; c <= kFonChannels; ++c)
        f.Channels[static_cast<size_t>(c - 1)] = ChannelOf(k, c, f.Points);
    return f;
}
