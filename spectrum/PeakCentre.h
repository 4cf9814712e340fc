#pragma once
// Smoothing and centre of the peak ("Усреднение"): the histogram is cut to
// the bounds, averaged in groups of three bins laid out outward from the
// peak, the region around the peak down to 80 % of its height is marked, and
// the bin that splits the area of that region in two halves is found.
#include <QString>
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "datafiles/FonKadr.h"
#include "spectrum/SpectrumBars.h"

/// Everything one run of the peak centre hands to the window.
/// Draw the bars in order, then show Error when it is not empty, else Label:
/// - bounds refused or no peak: Error only, no bars;
/// - no edge at 80 %: the first drawing (smoothed bars Lo..IMax+D, silver)
///   and Error, no centre;
/// - complete: Error empty; the first drawing followed by the second
///   (Lo..Hi, green for Left ≤ bin < Right, silver otherwise); Label holds
///   the centre bin.
struct CentreResult {
    QString Error;                         ///< empty when the run is complete
    int32_t D = 0;                         ///< first peak bin − Lo: how far the smoothing reaches
    int32_t IMax = 0;                      ///< peak bin: of the raw copy, then of the smoothed one (bin after the first maximum)
    float Max = 0;                         ///< height of the smoothed peak
    std::array<int16_t, kFonBins> Smooth{}; ///< the cut and smoothed copy, bin k at [k-1]
    int32_t Left = 0, Right = 0;           ///< edges of the peak region at 80 % of Max
    float Area = 0;                        ///< Σ Smooth over Left..Right, both included
    float Half = 0;                        ///< Area / 2
    int32_t Centre = 0;                    ///< last bin whose running sum from Left is at most Half, else IMax
    std::vector<SpectrumBar> Bars;         ///< bars in drawing order
    QString Label;                         ///< Centre in decimal

    bool Ok() const { return Error.isEmpty(); }
};

/// Runs the peak centre on histogram `spectr` (bin k at [k-1]) with the
/// bounds lo and hi. Bins that read back negative (wrapped 16-bit counters)
/// count as 0. Bounds outside 1..256, lo below 5 (the smoothing reaches four
/// bins below lo) and a peak whose smoothing would reach past bin 256 are
/// refused. The first drawing stops at bin 256. With `output` NumbersOnly,
/// Bars and Label stay empty; every number is the same.
CentreResult PeakCentre(std::span<const int16_t, kFonBins> spectr, int32_t lo, int32_t hi,
                        SpectrumOutput output = SpectrumOutput::Full);
