#pragma once
// What the spectrum commands hand back to the spectrum window for drawing:
// bars with their own colours, the colours the window uses, whether the
// drawing is wanted at all, and the check of the bin bounds typed by the
// operator.
#include <QColor>
#include <QString>
#include <cstdint>

#include "datafiles/FonKadr.h"

/// What a spectrum command makes besides its numbers: everything the window
/// draws and lists (Full), or the numbers alone (NumbersOnly: no bars, memo
/// lines, fitted line or label), for scans over many frames.
enum class SpectrumOutput { Full, NumbersOnly };

/// One bar of the spectrum chart: x = bin number, y = height, drawn in Color.
struct SpectrumBar {
    int32_t Bin;
    int32_t Height;
    QColor Color;
};

inline const QColor kBarSilver(192, 192, 192); ///< bars outside a marked region
inline const QColor kBarGreen(0, 128, 0);      ///< bars of the peak region
inline const QColor kLineRed(255, 0, 0);       ///< the fitted line

/// True when both bounds name bins of the spectrum, 1..256.
inline bool BinBoundsInRange(int32_t lo, int32_t hi)
{
    return lo >= 1 && lo <= kFonBins && hi >= 1 && hi <= kFonBins;
}

/// Message for bounds outside the spectrum.
inline QString BinBoundsMessage()
{
    return QStringLiteral("Границы должны лежать в пределах 1…256");
}

/// Message when the range holds no count above 0.
inline QString NoCountsMessage()
{
    return QStringLiteral("Нет пика: в диапазоне нет отсчётов");
}
