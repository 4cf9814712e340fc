#pragma once
// The values the run model's signals carry, known to Qt's meta-type system
// so that a consumer on another thread receives its own copies.
#include <QMetaType>
#include <array>
#include <cstdint>

#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"
#include "platform/Clock.h"

namespace acq {

/// The four counts of a point.
using PointCounts = std::array<int32_t, 4>;

/// What a run starts with: the gains the boards are given and the amplitude
/// limits as the operator typed them.
struct RunSettings {
    std::array<int16_t, 4> FonGains{};   ///< detector channels 1..4
    std::array<int16_t, 6> RadioGains{}; ///< radio channels 1..6
    std::array<QString, 4> Limits;       ///< texts of the limits of channels 1..4
};

/// The gains the program starts with and the default limits.
RunSettings DefaultRunSettings();

/// Why a run halted: a driver error, a record its file refused, or the
/// run's files could not be created (the run then ended at once).
enum class HaltCause { Driver, File, NoFiles };

} // namespace acq

Q_DECLARE_METATYPE(TFonKadr)
Q_DECLARE_METATYPE(TRadKadr)
Q_DECLARE_METATYPE(TPointTime)
Q_DECLARE_METATYPE(acq::PointCounts)
Q_DECLARE_METATYPE(rt::DateTimeParts)
