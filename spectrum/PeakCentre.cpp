#include "spectrum/PeakCentre.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kLowestLo = 5; ///< the downward smoothing reaches lo − 4
constexpr double kEdgeLevel = 0.8;

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
    auto count = [&spectr](int32_t bin) { return std::max<int32_t>(spectr[bin - 1], 0); };
    auto smooth = [&r](int32_t bin) -> int16_t& { return r.Smooth[bin - 1]; };

    // Peak of the raw histogram over lo..hi; the first of equal largest wins.
    int32_t max = 0;
    for (int32_t bin = lo; bin <= hi; ++bin) {
        if (count(bin) > max) {
            max = count(bin);
            r.IMax = bin;
        }
    }
    if (max == 0) {
        r.Fault = SpectrumFault::NoCounts;
        return r;
    }
    r.D = r.IMax - lo;

    // Triples run for m = 0 .. D div 3 + 1, so the upward ones end at
    // IMax + 3·(D div 3 + 1) + 1.
    const int32_t steps = r.D / 3 + 2;
    if (r.IMax + 3 * (steps - 1) + 1 > kFonBins) {
        r.Fault = SpectrumFault::PeakNearEnd;
        return r;
    }

    // Copy cut to the bounds: bins 1..lo and hi..255 cleared, bin 256 kept.
    for (int32_t bin = 1; bin <= kFonBins; ++bin)
        smooth(bin) = static_cast<int16_t>(count(bin));
    for (int32_t bin = 1; bin <= lo; ++bin)
        smooth(bin) = 0;
    for (int32_t bin = hi; bin <= kFonBins - 1; ++bin)
        smooth(bin) = 0;

    // Smoothing by three outward from the peak: each triple k-1, k, k+1
    // becomes the nearest integer to its mean; downward triple first.
    auto triple = [&smooth](int32_t k) {
        // The bins are never below 0, so (sum + 1) div 3 is the nearest
        // integer to sum / 3 (a third never ends in one half).
        const int32_t sum = smooth(k - 1) + smooth(k) + smooth(k + 1);
        const auto v = static_cast<int16_t>((sum + 1) / 3);
        smooth(k - 1) = smooth(k) = smooth(k + 1) = v;
    };
    for (int32_t m = 0; m < steps; ++m) {
        triple(r.IMax - 3 * m);
        triple(r.IMax + 3 * m);
    }

    // Peak of the smoothed copy over lo..IMax+D: the bin after the first
    // bin holding the maximum, the middle of its triple. When no bin is
    // above 0 (the only counts sat at lo, which the cut clears), IMax stays
    // the raw peak and the edges, the area (0) and the centre follow from it.
    const int32_t searchEnd = r.IMax + r.D;
    int32_t smax = 0;
    for (int32_t bin = lo; bin <= searchEnd; ++bin) {
        if (smooth(bin) > smax) {
            smax = smooth(bin);
            r.IMax = bin + 1;
        }
    }
    r.Max = static_cast<float>(smax);

    // Edges at 80 % of the peak: the nearest such bins on either side.
    const double level = kEdgeLevel * static_cast<double>(r.Max);
    bool haveLeft = false;
    for (int32_t bin = lo; bin <= r.IMax; ++bin) {
        if (smooth(bin) <= level) {
            r.Left = bin;
            haveLeft = true;
        }
    }
    bool haveRight = false;
    for (int32_t bin = hi; bin >= r.IMax; --bin) {
        if (smooth(bin) <= level) {
            r.Right = bin;
            haveRight = true;
        }
    }
    if (!haveLeft) {
        r.Fault = SpectrumFault::NoLeftEdge;
        return r;
    }
    if (!haveRight) {
        r.Fault = SpectrumFault::NoRightEdge;
        return r;
    }

    // Centre by area: the last bin at which the area counted from Left has
    // not passed one half.
    for (int32_t bin = r.Left; bin <= r.Right; ++bin)
        r.Area += smooth(bin);
    r.Half = r.Area / 2;
    r.Centre = r.IMax;
    float running = 0;
    for (int32_t bin = r.Left; bin <= r.Right; ++bin) {
        running += smooth(bin);
        if (running <= r.Half)
            r.Centre = bin;
    }
    return r;
}
