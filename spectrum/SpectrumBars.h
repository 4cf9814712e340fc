#pragma once
// What the spectrum window draws: bars with their own colours, and the
// colours the window uses.
#include <QColor>
#include <cstdint>

namespace spectrum {

/// One bar of the spectrum chart: x = bin number, y = height, drawn in Color.
struct SpectrumBar {
    int32_t Bin;
    int32_t Height;
    QColor Color;
};

inline const QColor kBarSilver(192, 192, 192); ///< bars outside a marked region
inline const QColor kBarGreen(0, 128, 0);      ///< bars of the peak region
inline const QColor kLineRed(255, 0, 0);       ///< the fitted line

} // namespace spectrum
