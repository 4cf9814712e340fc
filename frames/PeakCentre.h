#pragma once
// Smoothing and centre of the peak ("Усреднение"): the histogram is cut to
// the bounds, averaged in groups of three bins laid out outward from the
// peak, the region around the peak down to 80 % of its height is marked, and
// the bin that splits the area of that region in two halves is found.
#include <array>
#include <cstdint>
#include <span>

#include "datafiles/FonKadr.h"
#include "frames/SpectrumFault.h"

namespace frames {

/// The numbers of one run of the peak centre:
/// - bounds refused or no peak: Fault only;
/// - no edge at 80 % (NoLeftEdge, NoRightEdge): smoothed (Smoothed()), no
///   centre;
/// - complete: Fault None, all filled.
/// The window's presenter (SpectrumPresenter.h) draws the smoothed copy
/// (Lo..IMax+D) and, when complete, the marked region (Lo..Hi).
struct CentreResult {
    SpectrumFault Fault = SpectrumFault::None; ///< None when the run is complete
    int32_t Lo = 0, Hi = 0;                ///< the bounds of the run
    int32_t D = 0;                         ///< first peak bin − Lo: how far the smoothing reaches
    int32_t IMax = 0;                      ///< peak bin: of the raw copy, then of the smoothed one (bin after the first maximum)
    float Max = 0;                         ///< height of the smoothed peak
    std::array<int16_t, kFonBins> Smooth{}; ///< the cut and smoothed copy, bin k at [k-1]
    int32_t Left = 0, Right = 0;           ///< edges of the peak region at 80 % of Max
    float Area = 0;                        ///< Σ Smooth over Left..Right, both included
    float Half = 0;                        ///< Area / 2
    int32_t Centre = 0;                    ///< last bin whose running sum from Left is at most Half, else IMax

    bool Ok() const { return Fault == SpectrumFault::None; }
    /// Whether the copy was smoothed (complete, or no edge at 80 %).
    bool Smoothed() const
    {
        return Ok() || Fault == SpectrumFault::NoLeftEdge || Fault == SpectrumFault::NoRightEdge;
    }
};

/// Runs the peak centre on histogram `spectr` (bin k at [k-1]) with the
/// bounds lo and hi. Bins that read back negative (wrapped 16-bit counters)
/// count as 0. Bounds outside 1..256, lo below 5 (the smoothing reaches four
/// bins below lo) and a peak whose smoothing would reach past bin 256 are
/// refused.
CentreResult PeakCentre(std::span<const int16_t, kFonBins> spectr, int32_t lo, int32_t hi);

} // namespace frames
