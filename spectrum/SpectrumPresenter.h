#pragma once
// The spectrum window's presenter: the numbers of a spectrum command turned
// into what the window shows (listing lines, bars in their colours, the
// fitted line, the label) and the reason of a run that stopped short in
// the operator's words.
#include <QPointF>
#include <QString>
#include <QStringList>
#include <span>
#include <vector>

#include "frames/IntegralSpectrum.h"
#include "frames/PeakCentre.h"
#include "spectrum/SpectrumBars.h"

namespace spectrum {

/// What the window shows of one run of the integral spectrum. Draw what the
/// lists hold, then show Error when it is not empty:
/// - bounds refused or no peak: Error only, everything else empty;
/// - no fit range: Memo and Bars filled, no Line and no Label, Error says why;
/// - complete: Error empty, all filled.
struct IntegralView {
    QString Error;                 ///< empty when the run is complete
    QStringList Memo;              ///< 256 lines for the main window's memo
    std::vector<SpectrumBar> Bars; ///< bins 1..255 of the integral, silver, in order
    std::vector<QPointF> Line;     ///< (I1, Y1) and (I2, Y2), red; empty without a fit
    QString Label;                 ///< "b = …   a = …"; empty without a fit
};

/// The view of run `r` of the integral spectrum on histogram `spectr`.
IntegralView PresentIntegral(std::span<const int16_t, kFonBins> spectr, const frames::IntegralResult& r);

/// What the window shows of one run of the peak centre. Draw the bars in
/// order, then show Error when it is not empty, else Label:
/// - bounds refused or no peak: Error only, no bars;
/// - no edge at 80 %: the first drawing (smoothed bars Lo..IMax+D, silver,
///   up to bin 256) and Error, no centre;
/// - complete: the first drawing followed by the second (Lo..Hi, green for
///   Left ≤ bin < Right, silver otherwise); Label holds the centre bin.
struct CentreView {
    QString Error;                 ///< empty when the run is complete
    std::vector<SpectrumBar> Bars; ///< bars in drawing order
    QString Label;                 ///< the centre in decimal
};

/// The view of run `r` of the peak centre.
CentreView PresentCentre(const frames::CentreResult& r);

} // namespace spectrum
