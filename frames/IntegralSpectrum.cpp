#include "frames/IntegralSpectrum.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "frames/SpectrumKernels.h"

namespace frames {

namespace {

constexpr int32_t kPeakExclusion = 45; ///< top bins of the range left out of the peak search

/// Integrals below this are looked up: bins scaled to at most 100 sum to
/// at most 25600, so nearly every spectrum stays inside the table.
constexpr int32_t kLogTableSize = 32768;

/// The table of log10(v + 1) in single precision for v below
/// kLogTableSize: the very values std::log10 gives, made once.
const float* LogPlus1Table()
{
    static const std::vector<float> table = [] {
        std::vector<float> t(kLogTableSize);
        for (int32_t i = 0; i < kLogTableSize; ++i)
            t[static_cast<size_t>(i)] = static_cast<float>(std::log10(static_cast<double>(i) + 1));
        return t;
    }();
    return table.data();
}

/// log10(v + 1) in single precision, v ≥ 0: looked up in `table`
/// (LogPlus1Table) below kLogTableSize, computed above.
float Log10Plus1(const float* table, int32_t v)
{
    if (v >= 0 && v < kLogTableSize)
        return table[v];
    return static_cast<float>(std::log10(static_cast<double>(v) + 1));
}

/// log10(bin) in single precision for bins 1..256, from a table made once.
float Log10Bin(int32_t bin)
{
    static const std::array<float, kFonBins + 1> table = [] {
        std::array<float, kFonBins + 1> t{};
        for (int32_t i = 1; i <= kFonBins; ++i)
            t[static_cast<size_t>(i)] = static_cast<float>(std::log10(static_cast<double>(i)));
        return t;
    }();
    return table[static_cast<size_t>(bin)];
}

/// Integral from the top down: Integr[k] = Σ scaled counts of bins
/// k+1 .. hi-lo (each count scaled to the peak `max`), and its log10(v + 1)
/// for bins lo..hi into `logIntegr`.
void IntegrateFromTop(std::span<const int16_t, kFonBins> spectr, int32_t lo, int32_t hi, int32_t max,
                      IntegralResult& r, std::span<float, kFonBins> logIntegr)
{
    // The scaled counts first, all at once, then the running sum.
    auto integr = [&r](int32_t bin) -> int32_t& { return r.Integr[static_cast<size_t>(bin - 1)]; };
    std::array<int32_t, kFonBins> scaled;
    const int32_t top = hi - lo; // bins 2..top are summed
    if (top >= 2)
        ScaleBins(spectr.subspan(1, static_cast<size_t>(top - 1)), max, std::span(scaled).subspan(1));
    for (int32_t j = top; j >= 2; --j)
        integr(j - 1) = integr(j) + scaled[static_cast<size_t>(j - 1)];

    const float* logTable = LogPlus1Table();
    for (int32_t bin = lo; bin <= hi; ++bin)
        logIntegr[static_cast<size_t>(bin - 1)] = Log10Plus1(logTable, integr(bin));
}

/// Fit range: I1 the last bin from the peak up still at 80 % of LMax (the
/// logarithm at IMax-1), I2 the last one above 40 % (else hi). Sets LMax,
/// I1 (0 when none) and I2; false when there is no I1.
bool FindFitRange(std::span<const float, kFonBins> logIntegr, int32_t hi, IntegralResult& r)
{
    r.LMax = logIntegr[static_cast<size_t>(r.IMax - 2)];
    const double t1 = 0.8 * static_cast<double>(r.LMax);
    const double t2 = 0.4 * static_cast<double>(r.LMax);
    // The integral never rises with the bin, nor does its logarithm, so
    // the bins at either level are a run from the peak on: bisection finds
    // where each run ends.
    const std::span<const float> fromPeak(logIntegr.begin() + (r.IMax - 1), logIntegr.begin() + hi);
    const auto atOrAbove = [&fromPeak](double level, bool orEqual) {
        return static_cast<int32_t>(std::partition_point(fromPeak.begin(), fromPeak.end(), [=](float v) {
                                        return orEqual ? static_cast<double>(v) >= level : static_cast<double>(v) > level;
                                    }) - fromPeak.begin());
    };
    const int32_t run1 = atOrAbove(t1, true);
    const int32_t run2 = atOrAbove(t2, false);
    const bool haveI1 = run1 > 0;
    r.I1 = haveI1 ? r.IMax + run1 - 1 : 0;
    r.I2 = run2 > 0 ? r.IMax + run2 - 1 : hi;
    return haveI1;
}

} // namespace

int32_t ScaledCount(int32_t count, int32_t max)
{
    if (count <= 0)
        return 0;
    // Exact rational rounding of count·100/max, ties to even.
    const int64_t num = static_cast<int64_t>(count) * 100;
    const int64_t q = num / max;
    const int64_t twiceRest = 2 * (num - q * max);
    if (twiceRest > max || (twiceRest == max && (q % 2) != 0))
        return static_cast<int32_t>(q + 1);
    return static_cast<int32_t>(q);
}

void MNK(const float* X, const float* Y, int32_t n, float& a, float& b)
{
    const double N = n;
    double sx = 0, sxx = 0, sy = 0, sxy = 0;
    for (int32_t i = 0; i < n; ++i) {
        const double x = X[i];
        const double y = Y[i];
        sx += x;
        sxx += x * x;
        sy += y;
        sxy += x * y;
    }
    // Rotation that diagonalises the normal matrix [[N, Sx], [Sx, Sxx]].
    const double theta = std::atan2(2 * sx, sxx - N) / 2;
    const double co = std::cos(theta);
    const double si = std::sin(theta);
    const double l1 = co * co * N + si * si * sxx - 2 * si * co * sx;
    const double l2 = si * si * N + co * co * sxx + 2 * si * co * sx;
    const double u1 = co * sy - si * sxy;
    const double u2 = si * sy + co * sxy;
    const double tol = std::max(std::fabs(l1), std::fabs(l2)) * 5e-323 * 1000;
    const double w1 = std::fabs(l1) > tol ? u1 / l1 : 0;
    const double w2 = std::fabs(l2) > tol ? u2 / l2 : 0;
    a = static_cast<float>(co * w1 + si * w2);
    b = static_cast<float>(-si * w1 + co * w2);
}

float FitLineY(int32_t bin, float a, float b)
{
    const float exponent = static_cast<float>(std::log10(static_cast<double>(bin)) * b + a);
    return static_cast<float>(std::pow(10.0, static_cast<double>(exponent)));
}

IntegralResult IntegralSpectrum(std::span<const int16_t, kFonBins> spectr, int32_t lo, int32_t hi,
                                std::span<float, kFonBins> logIntegr)
{
    IntegralResult r;
    if (!BinBoundsInRange(lo, hi)) {
        r.Fault = SpectrumFault::BoundsOutside;
        return r;
    }
    if (hi - kPeakExclusion < lo) {
        r.Fault = SpectrumFault::TooFewBins;
        return r;
    }

    // Peak over lo..hi-45; the first of equal largest wins.
    const int32_t peakAt = FirstLargest(spectr.subspan(static_cast<size_t>(lo - 1),
                                                       static_cast<size_t>(hi - kPeakExclusion - lo + 1)));
    if (peakAt < 0) {
        r.Fault = SpectrumFault::NoCounts;
        return r;
    }
    r.IMax = lo + peakAt;
    const int32_t max = spectr[r.IMax - 1];
    if (r.IMax == 1) {
        r.Fault = SpectrumFault::PeakAtBin1;
        return r;
    }
    r.Max = static_cast<float>(max);

    IntegrateFromTop(spectr, lo, hi, max, r, logIntegr);
    if (!FindFitRange(logIntegr, hi, r)) {
        r.Fault = SpectrumFault::NoFitRange;
        return r;
    }

    // The line through log10(bin), log10(integral + 1) over the fit range.
    for (int32_t bin = r.I1; bin <= r.I2; ++bin) {
        r.XLog[bin - r.I1] = Log10Bin(bin);
        r.YLog[bin - r.I1] = logIntegr[bin - 1];
    }
    MNK(r.XLog.data(), r.YLog.data(), r.I2 - r.I1 + 1, r.a, r.b);
    return r;
}

} // namespace frames
