#pragma once
// One simulated ADC board: a background board (Mode 1) that completes an
// acquisition of Samples samples at Rate after each Start, or a radio board
// (Mode 8) that reports a recorded shower at random times.
#include <array>
#include <cstdint>
#include <vector>

#include "driver/IADCDevice.h"
#include "simdriver/SimBackground.h"
#include "simdriver/SimSky.h"

namespace sim {

struct SimState;

/// A board object handed out by the factory. Every operation takes the
/// library's lock, consults the scripted failures and is logged.
class SimBoard final : public IADCDevice {
public:
    /// Registers the new board with the shared state (lock held by caller).
    SimBoard();

    int32_t Slot0() override;
    /// Deletes the board; an acquisition in progress ends here.
    int32_t Release() override;
    /// Gives the board its number (1..64).
    int32_t Init(int32_t boardNo, int32_t param1, int32_t param2, int32_t zero) override;
    int32_t Slot3() override;
    /// Configures the board from the record: Mode 1 background, Mode 8 radio.
    /// A background board scales its pulse amplitudes with Gain1 and Gain2
    /// (gain / 100; 100 gives the channel model's amplitudes).
    int32_t Setup(int32_t one, AdcParams* params, int32_t* out) override;
    /// Starts a new acquisition; clears the status word.
    int32_t Start() override;
    /// Ends the acquisition; data already complete stay readable.
    int32_t Stop() override;
    /// Copies `count` samples of the selected input to `dest`.
    int32_t GetData(int32_t selector, int16_t* dest, int32_t count, int32_t zero) override;
    int32_t Slot8() override;
    /// Code 0 reads the status word; code 2020 is accepted.
    int32_t Control(int32_t code, int32_t* value) override;

    /// Seconds of the open acquisition, from its Start (or `since`, if
    /// later) until its data were complete or `t`, whichever first; 0 when
    /// not acquiring. Lock held by caller.
    double openLiveSeconds(double t, double since) const;

    /// The board's Init number (0 before Init).
    int32_t number() const { return number_; }

private:
    ~SimBoard();

    int32_t statusWord(SimState& s, double t);
    /// When the open acquisition completes by itself (pacing or a random
    /// event), or +infinity.
    double naturalCompletion(const SimState& s) const;
    /// When the acquisition's data were or will be complete, or +infinity.
    double completion(const SimState& s) const;
    void closeInterval(SimState& s, double t);
    void arm(SimState& s);
    /// Radio: finds the next shower of the sky this board sees after its Start.
    void armSky(SimState& s);

    int32_t number_ = 0;
    int32_t mode_ = 0; ///< 0 not set up, 1 background, 8 radio
    int32_t samples_ = 0;
    double seconds_ = 0.0; ///< sampled time of one acquisition
    bool started_ = false; ///< an acquisition exists (since a Start)
    bool running_ = false; ///< between Start and Stop
    double startTime_ = 0.0;
    double stopTime_ = 0.0;
    double eventDraw_ = 0.0; ///< radio: waiting time in mean intervals
    bool latched_ = false;   ///< event bit set by a query trigger or an event
    double latchTime_ = 0.0;
    std::array<float, 2> gainScale_{1.0f, 1.0f}; ///< background: pulse amplitude factor per input
    std::array<size_t, 2> offset_{};
    std::array<std::vector<PulseEvent>, 2> pulses_;
    uint64_t radioSeed_ = 0;
    double skyDue_ = 0.0;    ///< radio: when the next shower seen comes (monotonic), or +infinity
    Shower skyShower_{};     ///< that shower
};

} // namespace sim
