#pragma once
// Why a spectrum command has no answer, or no complete one, as a code; the
// window's presenter (SpectrumTexts.h) says it in words. And the check of
// the bin bounds typed by the operator.
#include <cstdint>

#include "datafiles/FonKadr.h"

namespace frames {

/// Why a run of a spectrum command stopped short.
enum class SpectrumFault {
    None,          ///< the run is complete
    BoundsOutside, ///< a bound outside 1..256
    LowBelow5,     ///< centre: the lower bound is below 5 (the smoothing reaches four bins below it)
    NoCounts,      ///< no count above 0 between the bounds
    TooFewBins,    ///< integral: fewer than 46 bins between the bounds, no room for a peak
    PeakAtBin1,    ///< integral: the peak is in bin 1
    NoFitRange,    ///< integral: from the peak to the upper bound the spectrum stays below 80 % of its level
    PeakNearEnd,   ///< centre: the smoothing around the peak would run past bin 256
    NoLeftEdge,    ///< centre: no bin left of the peak at 80 % of its height
    NoRightEdge,   ///< centre: no bin right of the peak at 80 % of its height
    ShortFit,      ///< the fit range holds fewer than two bins: a line through it has no slope worth showing
    NotRecorded,   ///< read back from a table that keeps no reason (a trend CSV)
};

/// True when both bounds name bins of the spectrum, 1..256.
inline bool BinBoundsInRange(int32_t lo, int32_t hi)
{
    return lo >= 1 && lo <= kFonBins && hi >= 1 && hi <= kFonBins;
}

} // namespace frames
