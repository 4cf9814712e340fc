#include "spectrum/IntegralSpectrum.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

namespace {

constexpr int32_t kPeakExclusion = 45; ///< top bins of the range left out of the peak search

int32_t CountAt(std::span<const int16_t, kFonBins> spectr, int32_t bin)
{
    return std::max<int32_t>(spectr[bin - 1], 0);
}

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

/// ScaledCount for one peak height `max` (1..32767) and 16-bit counts,
/// without a division per bin: division by an invariant integer through
/// multiplication (Granlund and Montgomery, 1994). For numerators below 2^22
/// (count·100 ≤ 3276700) and a divisor of l bits, the quotient is
/// (num·m) >> (22 + l) with m = ceil(2^(22+l) / max), exactly.
class ScaleTo100 {
public:
    explicit ScaleTo100(int32_t max) : max_(static_cast<uint32_t>(max))
    {
        const int l = std::bit_width(max_ - 1); // ceil(log2 max)
        shift_ = kNumeratorBits + l;
        magic_ = static_cast<uint32_t>(((uint64_t{1} << shift_) + max_ - 1) / max_);
    }
    int32_t operator()(int16_t count) const
    {
        const uint32_t num = static_cast<uint32_t>(std::max<int32_t>(count, 0)) * 100;
        const auto q = static_cast<uint32_t>((static_cast<uint64_t>(num) * magic_) >> shift_);
        const uint32_t twiceRest = 2 * (num - q * max_);
        const bool up = twiceRest > max_ || (twiceRest == max_ && (q & 1) != 0);
        return static_cast<int32_t>(q + up);
    }

private:
    static constexpr int kNumeratorBits = 22;
    uint32_t max_;
    int shift_ = 0;
    uint32_t magic_ = 0;
};

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
    int32_t max = 0;
    for (int32_t bin = lo; bin <= hi - kPeakExclusion; ++bin) {
        if (CountAt(spectr, bin) > max) {
            max = CountAt(spectr, bin);
            r.IMax = bin;
        }
    }
    if (max == 0) {
        r.Fault = SpectrumFault::NoCounts;
        return r;
    }
    if (r.IMax == 1) {
        r.Fault = SpectrumFault::PeakAtBin1;
        return r;
    }
    r.Max = static_cast<float>(max);

    // Integral from the top down: Integr[k] = Σ scaled counts of bins k+1 .. hi-lo.
    auto integr = [&r](int32_t bin) -> int32_t& { return r.Integr[bin - 1]; };
    const ScaleTo100 scale(max);
    for (int32_t j = hi - lo; j >= 2; --j)
        integr(j - 1) = integr(j) + scale(spectr[j - 1]);

    const float* logTable = LogPlus1Table();
    for (int32_t bin = lo; bin <= hi; ++bin)
        logIntegr[bin - 1] = Log10Plus1(logTable, integr(bin));

    // Fit range: I1 the last bin from the peak up still at 80 % of LMax,
    // I2 the last one above 40 %.
    r.LMax = logIntegr[r.IMax - 2];
    const double t1 = 0.8 * static_cast<double>(r.LMax);
    const double t2 = 0.4 * static_cast<double>(r.LMax);
    bool haveI1 = false;
    r.I2 = hi;
    for (int32_t bin = r.IMax; bin <= hi; ++bin) {
        const double v = logIntegr[bin - 1];
        if (v >= t1) {
            r.I1 = bin;
            haveI1 = true;
        }
        if (v > t2)
            r.I2 = bin;
    }
    if (!haveI1) {
        r.Fault = SpectrumFault::NoFitRange;
        return r;
    }

    for (int32_t bin = r.I1; bin <= r.I2; ++bin) {
        r.XLog[bin - r.I1] = Log10Bin(bin);
        r.YLog[bin - r.I1] = logIntegr[bin - 1];
    }
    MNK(r.XLog.data(), r.YLog.data(), r.I2 - r.I1 + 1, r.a, r.b);
    return r;
}
