#pragma once
// The words and number texts of the spectrum commands as the windows show
// them: every reason code in Russian, one line of the integral listing, the
// fit label.
#include <QString>
#include <cstdint>

#include "frames/SpectrumFault.h"

namespace spectrum {

/// What the operator reads for `fault` (empty for None).
QString SpectrumFaultText(frames::SpectrumFault fault);

/// Message for bounds outside the spectrum.
inline QString BinBoundsMessage() { return SpectrumFaultText(frames::SpectrumFault::BoundsOutside); }

/// One memo line of the integral listing: bin (width 4), ": ", count
/// (width 5), integral (width 9); wider numbers are written in full.
QString IntegralMemoLine(int32_t bin, int32_t count, int32_t integr);

/// The fit label "b = " + b + "   " + "a = " + a, each number fixed-point
/// with 2 decimals right-aligned in at least 5 characters
/// (b = −1.25, a = 3.4 → "b = -1.25   a =  3.40").
QString FitLabelText(float a, float b);

} // namespace spectrum
