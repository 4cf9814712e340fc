#pragma once
// The boards of a run: obtained from the driver library the station's hive
// names, initialised, configured and started (InitBoards), and stopped and
// released again (FreeBoards). Which boards there are and what each does
// comes from the station; the values from driver/BoardProfiles.h and from
// the run (rate, sample counts, gains in force).
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "acquisition/Station.h"
#include "driver/ADC_Const.h"
#include "driver/BoardProfiles.h"
#include "driver/IADCDevice.h"
#include "driver/IFactory.h"

namespace acq {

/// The board references and parameter records of a run, one slot per board
/// of the station, in the station's order.
class Boards {
public:
    IFactory* AdcFactory = nullptr;
    AdcParams FonParams{};
    AdcParams RadParams{};
    int32_t FirstBoardNo = boards::kFirstBoardNo;
    int32_t InitParam1 = boards::kInitParam1;
    int32_t InitParam2 = boards::kInitParam2;

    /// Slots for the boards of `station`, none held.
    void Arrange(const Station& station);
    const Station& Layout() const { return station_; }
    /// The number of boards of the station.
    int Count() const { return static_cast<int>(devices_.size()); }
    /// Board i (in the station's order); nullptr while not held.
    IADCDevice*& At(int i) { return devices_[static_cast<size_t>(i)]; }
    /// The k-th background board (0, 1) and the k-th radio board (0..);
    /// the first radio board reports the events.
    IADCDevice* Background(int k) const { return devices_[static_cast<size_t>(background_[static_cast<size_t>(k)])]; }
    IADCDevice* Radio(int k) const { return devices_[static_cast<size_t>(radio_[static_cast<size_t>(k)])]; }
    int RadioCount() const { return static_cast<int>(radio_.size()); }
    /// True while any board is held.
    bool Any() const;
    /// Why the driver library could not be had, when more than its absence.
    std::string DriverProblem;

private:
    Station station_;
    std::vector<IADCDevice*> devices_;
    std::vector<int> background_, radio_;
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

/// Obtains, initialises, prepares, configures and starts the station's boards
/// in the driver's order. Returns a positive status when all run; else the
/// code to report (-10 no library or factory, -11 a board not made or an
/// object without its table of operations, or the failing call's status).
/// Boards obtained before a failure stay held; FreeBoards releases them.
int32_t InitBoards(Boards& b, const SetupValues& v);

/// Stops and releases every board held, in order, and clears the references.
void FreeBoards(Boards& b);

} // namespace acq
