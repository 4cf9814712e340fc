#pragma once
// The integral spectrum ("Интегральный"): the histogram between the bounds is
// scaled to its peak (= 100), summed from the top down, listed, put on
// decimal-logarithmic axes, and its falling part is fitted with a straight
// line log10(integral + 1) = a + b·log10(bin) by least squares.
#include <array>
#include <cstdint>
#include <span>

#include "datafiles/FonKadr.h"
#include "frames/SpectrumFault.h"

namespace frames {

/// The numbers of one run of the integral spectrum:
/// - bounds refused or no peak: Fault only, and the window's LogIntegr is
///   left untouched;
/// - no fit range (NoFitRange): the integral made (HasIntegral), LogIntegr
///   refreshed, no fit;
/// - complete: Fault None, all filled.
/// The window's presenter (SpectrumPresenter.h) turns them into the
/// listing, the bars, the fitted line and the label.
struct IntegralResult {
    SpectrumFault Fault = SpectrumFault::None; ///< None when the run is complete
    int32_t IMax = 0;                       ///< peak bin (first of equal largest)
    float Max = 0;                          ///< peak count
    std::array<int32_t, kFonBins> Integr{}; ///< integral spectrum, bin k at [k-1]
    float LMax = 0;                         ///< LogIntegr of bin IMax-1
    int32_t I1 = 0, I2 = 0;                 ///< fit range, bins I1..I2 (may be empty when LMax = 0)
    std::array<float, kFonBins> XLog{};     ///< log10(bin) of the fit range at [bin-I1]
    std::array<float, kFonBins> YLog{};     ///< LogIntegr of the fit range at [bin-I1]
    float a = 0;                            ///< intercept of the fitted line
    float b = 0;                            ///< slope of the fitted line

    bool Ok() const { return Fault == SpectrumFault::None; }
    /// Whether the integral was made (complete, or no fit range).
    bool HasIntegral() const { return Ok() || Fault == SpectrumFault::NoFitRange; }
};

/// Runs the integral spectrum on histogram `spectr` (bin k at [k-1]) with the
/// bounds lo and hi. `logIntegr` (bin k at [k-1]) is the window's LogIntegr:
/// bins lo..hi are refreshed, the others keep what earlier runs left there,
/// and bin IMax-1 gives the reference level LMax.
/// Bins that read back negative (wrapped 16-bit counters) count as 0.
IntegralResult IntegralSpectrum(std::span<const int16_t, kFonBins> spectr, int32_t lo, int32_t hi,
                                std::span<float, kFonBins> logIntegr);

/// count·100/max rounded to the nearest integer, halves to the even
/// neighbour; a negative count gives 0. max must be above 0.
int32_t ScaledCount(int32_t count, int32_t max);

/// Straight-line least squares y = a + b·x through (X[i], Y[i]), i = 0..n-1,
/// solved through the eigenvectors of the 2×2 normal matrix (rotation by
/// θ = atan2(2·Σx, Σx² − n)/2). Sums in double precision; a direction whose
/// eigenvalue is not above 5e-320 times the larger one contributes nothing.
/// For a well-posed set this is the ordinary least-squares line; n ≤ 0 gives
/// a = b = 0.
void MNK(const float* X, const float* Y, int32_t n, float& a, float& b);

/// Height of the fitted line at `bin`: 10^(log10(bin)·b + a), the exponent
/// and the result each in single precision.
float FitLineY(int32_t bin, float a, float b);

} // namespace frames
