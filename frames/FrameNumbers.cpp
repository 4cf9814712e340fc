#include "frames/FrameNumbers.h"

#include <cmath>
#include <limits>
#include <span>

#include "datafiles/FrameEnd.h"
#include "frames/IntegralSpectrum.h"

namespace frames {

namespace {

ChannelNumbers ChannelOf(const TFonKadr& k, int c, int32_t points)
{
    ChannelNumbers n;
    int64_t sum = 0;
    const int32_t* counts = k.Counts(c);
    for (int32_t i = 0; i < points; ++i)
        sum += counts[i];
    n.MeanPerPoint = points > 0 ? static_cast<double>(sum) / points : std::nan("");

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

double PointSeconds(int64_t startNs, int64_t timedNs, int32_t timedPoint)
{
    if (startNs == kNoStampNs || timedNs == kNoStampNs || timedNs <= startNs || timedPoint <= 0)
        return std::nan("");
    return static_cast<double>(timedNs - startNs) / 1e9 / timedPoint;
}

void TimeFrameNumbers(FrameNumbers& n, const StampZone& zone)
{
    n.PointSeconds = n.TimedPoint > 0 ? PointSeconds(zone.UtcNs(n.Start), zone.UtcNs(n.TimedStamp), n.TimedPoint)
                                      : std::nan("");
    for (ChannelNumbers& ch : n.Channels)
        ch.MeanPerS = ch.MeanPerPoint / n.PointSeconds;
}

FrameNumbers ComputeFrameNumbers(const TFonKadr& k, bool lastRecord, const StampZone* zone)
{
    FrameNumbers f;
    f.Start = StampOf(k);
    f.Points = FilledPoints(k, lastRecord);
    for (int c = 1; c <= kFonChannels; ++c)
        f.Channels[static_cast<size_t>(c - 1)] = ChannelOf(k, c, f.Points);
    // Without a real start no point has a duration: nothing to look for.
    for (int32_t p = StampReal(f.Start) ? f.Points : 0; p >= 1 && f.TimedPoint == 0; --p) {
        const FrameStamp s = PointStampOf(k, p);
        if (StampReal(s)) {
            f.TimedPoint = p;
            f.TimedStamp = s;
        }
    }
    const UtcStampZone utc;
    TimeFrameNumbers(f, zone ? *zone : static_cast<const StampZone&>(utc));
    return f;
}

} // namespace frames
