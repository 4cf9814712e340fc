#include "trend/FrameNumbers.h"

#include <cmath>
#include <span>

#include "datafiles/FrameEnd.h"
#include "spectrum/IntegralSpectrum.h"
#include "spectrum/PeakCentre.h"

namespace {

std::span<const int32_t, kFonPoints> CountsOf(const TFonKadr& k, int c)
{
    return std::span<const int32_t, kFonPoints>(k.Counts(c), kFonPoints);
}

ChannelNumbers ChannelOf(const TFonKadr& k, int c, int32_t points)
{
    ChannelNumbers n;
    int64_t sum = 0;
    const int32_t* counts = k.Counts(c);
    for (int32_t i = 0; i < points; ++i)
        sum += counts[i];
    n.Rate = points > 0 ? static_cast<double>(sum) / points : std::nan("");

    const std::span<const int16_t, kFonBins> spectr(k.Spectr(c), kFonBins);
    const CentreResult centre = PeakCentre(spectr, kTrendLo, kTrendHi, SpectrumOutput::NumbersOnly);
    if (centre.Ok())
        n.Centre = centre.Centre;
    else
        n.NoCentre = centre.Error;

    std::array<float, kFonBins> logIntegr{};
    const IntegralResult fit = IntegralSpectrum(spectr, kTrendLo, kTrendHi, logIntegr, SpectrumOutput::NumbersOnly);
    if (!fit.Ok())
        n.NoB = fit.Error;
    else if (fit.I2 - fit.I1 + 1 < 2)
        n.NoB = ShortFitMessage();
    n.B = n.HasB() ? fit.b : std::nanf("");
    return n;
}

} // namespace

int32_t FilledPoints(const TFonKadr& k, bool lastRecord)
{
    const int32_t end = FrameEndPoint(CountsOf(k, 1), CountsOf(k, 2), CountsOf(k, 3), CountsOf(k, 4), lastRecord);
    // FrameEndPoint gives 600 both for a whole frame and for a last record
    // whose first empty point is 600; only the latter ends before it.
    const int i = end - 1;
    const bool endIsEmpty = k.Counts1[i] == 0 && k.Counts2[i] == 0 && k.Counts3[i] == 0 && k.Counts4[i] == 0;
    return lastRecord && endIsEmpty ? end - 1 : end;
}

QString ShortFitMessage()
{
    return QStringLiteral("Нет подгонки: в диапазоне подгонки меньше двух бинов");
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
