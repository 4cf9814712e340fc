#include "frames/PeakCentre.h"

#include <algorithm>
#include <cmath>

#include "frames/SpectrumKernels.h"

namespace frames {

namespace {

constexpr int32_t kLowestLo = 5; ///< the downward smoothing reaches lo − 4
constexpr double kEdgeLevel = 0.8;

/// Bin k of the result's smoothed copy (k from 1).
int16_t& SmoothBin(CentreResult& r, int32_t bin) { return r.Smooth[static_cast<size_t>(bin - 1)]; }

/// The copy cut to the bounds: counts below 0 read as 0, bins 1..lo and
/// hi..255 cleared, bin 256 kept.
void CutToBounds(std::span<const int16_t, kFonBins> spectr, CentreResult& r)
{
    for (int32_t bin = 1; bin <= kFonBins; ++bin)
        SmoothBin(r, bin) = static_cast<int16_t>(std::max<int32_t>(spectr[static_cast<size_t>(bin - 1)], 0));
    for (int32_t bin = 1; bin <= r.Lo; ++bin)
        SmoothBin(r, bin) = 0;
    for (int32_t bin = r.Hi; bin <= kFonBins - 1; ++bin)
        SmoothBin(r, bin) = 0;
}

/// Smoothing by three outward from the peak: each triple k-1, k, k+1
/// becomes the nearest integer to its mean; downward triple first, for
/// m = 0 .. steps-1.
void SmoothOutward(CentreResult& r, int32_t steps)
{
    auto triple = [&r](int32_t k) {
        // The bins are never below 0, so (sum + 1) div 3 is the nearest
        // integer to sum / 3 (a third never ends in one half).
        const int32_t sum = SmoothBin(r, k - 1) + SmoothBin(r, k) + SmoothBin(r, k + 1);
        const auto v = static_cast<int16_t>((sum + 1) / 3);
        SmoothBin(r, k - 1) = SmoothBin(r, k) = SmoothBin(r, k + 1) = v;
    };
    for (int32_t m = 0; m < steps; ++m) {
        triple(r.IMax - 3 * m);
        triple(r.IMax + 3 * m);
    }
}

/// Peak of the smoothed copy over lo..IMax+D: the bin after the first
/// bin holding the maximum, the middle of its triple. When no bin is
/// above 0 (the only counts sat at lo, which the cut clears), IMax stays
/// the raw peak and the edges, the area (0) and the centre follow from it.
void FindSmoothedPeak(CentreResult& r)
{
    const int32_t searchEnd = r.IMax + r.D;
    const int32_t smoothAt = FirstLargest(std::span(r.Smooth).subspan(static_cast<size_t>(r.Lo - 1),
                                                                       static_cast<size_t>(searchEnd - r.Lo + 1)));
    if (smoothAt >= 0)
        r.IMax = r.Lo + smoothAt + 1;
    r.Max = smoothAt >= 0 ? static_cast<float>(r.Smooth[static_cast<size_t>(r.Lo - 1 + smoothAt)]) : 0.0f;
}

/// Edges at 80 % of the peak: the nearest such bins on either side,
/// searched outward from the peak. Sets Left and Right (0 when missing)
/// and the fault of a missing edge; false when one is missing.
bool FindEdges(CentreResult& r)
{
    const double level = kEdgeLevel * static_cast<double>(r.Max);
    int32_t left = r.IMax;
    while (left >= r.Lo && SmoothBin(r, left) > level)
        --left;
    const bool haveLeft = left >= r.Lo;
    r.Left = haveLeft ? left : 0;
    int32_t right = r.IMax;
    while (right <= r.Hi && SmoothBin(r, right) > level)
        ++right;
    const bool haveRight = right <= r.Hi;
    r.Right = haveRight ? right : 0;
    if (!haveLeft)
        r.Fault = SpectrumFault::NoLeftEdge;
    else if (!haveRight)
        r.Fault = SpectrumFault::NoRightEdge;
    return haveLeft && haveRight;
}

/// Centre by area: the last bin at which the area counted from Left has
/// not passed one half.
/// The bins are whole numbers from 0 to 32767 and at most 256 of them
/// sum below 2^24, so these integer sums are the single-precision sums
/// to the bit; and the running sum never falls, so the walk stops at
/// the first bin past one half.
void CentreByArea(CentreResult& r)
{
    int32_t area = 0;
    for (int32_t bin = r.Left; bin <= r.Right; ++bin)
        area += SmoothBin(r, bin);
    r.Area = static_cast<float>(area);
    r.Half = r.Area / 2;
    r.Centre = r.IMax;
    int32_t running = 0;
    for (int32_t bin = r.Left; bin <= r.Right; ++bin) {
        running += SmoothBin(r, bin);
        if (static_cast<float>(running) > r.Half)
            break;
        r.Centre = bin;
    }
}

} // namespace

CentreResult PeakCentre(std::span<const int16_t, kFonBins> spectr, int32_t lo, int32_t hi)
{
    CentreResult r;
    r.Lo = lo;
    r.Hi = hi;
    if (!BinBoundsInRange(lo, hi)) {
        r.Fault = SpectrumFault::BoundsOutside;
        return r;
    }
    if (lo < kLowestLo) {
        r.Fault = SpectrumFault::LowBelow5;
        return r;
    }

    // Peak of the raw histogram over lo..hi; the first of equal largest wins.
    const int32_t peakAt = hi >= lo ? FirstLargest(spectr.subspan(static_cast<size_t>(lo - 1),
                                                                  static_cast<size_t>(hi - lo + 1)))
                                    : -1;
    if (peakAt < 0) {
        r.Fault = SpectrumFault::NoCounts;
        return r;
    }
    r.IMax = lo + peakAt;
    r.D = r.IMax - lo;

    // Triples run for m = 0 .. D div 3 + 1, so the upward ones end at
    // IMax + 3·(D div 3 + 1) + 1.
    const int32_t steps = r.D / 3 + 2;
    if (r.IMax + 3 * (steps - 1) + 1 > kFonBins) {
        r.Fault = SpectrumFault::PeakNearEnd;
        return r;
    }

    CutToBounds(spectr, r);
    SmoothOutward(r, steps);
    FindSmoothedPeak(r);
    if (FindEdges(r))
        CentreByArea(r);
    return r;
}

} // namespace frames
