#pragma once
// The five boards of a run: obtained from the driver library found through
// the hive, initialised, configured and started (InitBoards), and stopped
// and released again (FreeBoards). The values come from driver/BoardProfiles.h
// and from the run (rate, sample counts, gains in force).
#include <array>
#include <cstdint>

#include "driver/ADC_Const.h"
#include "driver/BoardProfiles.h"
#include "driver/IADCDevice.h"
#include "driver/IFactory.h"

namespace acq {

/// The board references and parameter records of a run.
struct Boards {
    IFactory* AdcFactory = nullptr;
    IADCDevice* AdcFon1 = nullptr; ///< background channels 1, 2
    IADCDevice* AdcFon2 = nullptr; ///< background channels 3, 4
    IADCDevice* AdcRad1 = nullptr; ///< radio channels 1, 2; reports the events
    IADCDevice* AdcRad2 = nullptr; ///< radio channels 3, 4
    IADCDevice* AdcRad3 = nullptr; ///< radio channels 5, 6
    AdcParams FonParams{};
    AdcParams RadParams{};
    int32_t FirstBoardNo = boards::kFirstBoardNo;
    int32_t InitParam1 = boards::kInitParam1;
    int32_t InitParam2 = boards::kInitParam2;

    /// Board i (0..4) in the order of boards::kBoards.
    IADCDevice*& At(int i);
    /// True while any board is held.
    bool Any() const { return AdcFon1 || AdcFon2 || AdcRad1 || AdcRad2 || AdcRad3; }
};

/// What the set-up takes from the run.
struct SetupValues {
    int32_t SampleRate = boards::kSampleRate;
    int32_t FonSamples = boards::kFonSamples;
    int32_t RadSamples = boards::kRadSamples;
    int32_t FonChanParam = boards::kFonChanParam;
    std::array<int16_t, 4> FonGains{}; ///< detector channels 1..4
    std::array<int16_t, 6> RadGains{}; ///< radio channels 1..6
};

/// Obtains, initialises, prepares, configures and starts the five boards in
/// the driver's order. Returns a positive status when all five run; else the
/// code to report (-10 no library or factory, -11 a board not made or an
/// object without its table of operations, or the failing call's status).
/// Boards obtained before a failure stay held; FreeBoards releases them.
int32_t InitBoards(Boards& b, const SetupValues& v);

/// Stops and releases every board held, in order, and clears the references.
void FreeBoards(Boards& b);

} // namespace acq
