#pragma once
// The background cycle and the recording of radio events: one tick asks the
// first radio board for an event, reads both background boards in turn,
// searches their four channels for pulses and, every 25 cycles, stores a
// point of the frame; every 10 points a chart batch, every 600 points a
// complete frame. What a tick produces goes to a sink (the run model), which
// hands it on to its consumers: the recorder writes the files, the views
// draw it. The cycle never writes a file and
// never touches a widget, so it runs on the readout thread as well as in a
// test that calls Timer1Timer by hand.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "acquisition/Boards.h"
#include "acquisition/ChannelLimits.h"
#include "acquisition/LiveTime.h"
#include "datafiles/FonKadr.h"
#include "datafiles/RadKadr.h"
#include "platform/Clock.h"

namespace acq {

/// Samples per input that the background buffer holds.
inline constexpr int32_t kFonSamplesPerInput = boards::kFonSamples;
inline constexpr int32_t kFonBufSize = 2 * kFonSamplesPerInput;
/// How many acquisition times the wait for a background board may last.
inline constexpr int kFonWaitFactor = 100;

/// The clock's time of day as a point of a frame stores it.
TPointTime PointTimeNow();

/// Where a tick's results go. In a run with a readout thread every call
/// comes from that thread, with the cycle's records as they are at that
/// moment (the sink copies what it keeps).
class CycleSink {
public:
    /// A frame was begun (date, time, Rate, spectra cleared, next KadrNo).
    virtual void FrameStarted(int16_t kadrNo, const rt::DateTimeParts& t) = 0;
    /// Point `pointNo` (1..600) was stored with these counts and time.
    virtual void PointStored(int32_t pointNo, const TPointTime& time, const std::array<int32_t, 4>& counts) = 0;
    /// Points first..last of `frame` make the next chart batch.
    virtual void BatchReady(const TFonKadr& frame, int32_t first, int32_t last) = 0;
    /// The frame holds 600 points; the next one begins after this call.
    virtual void FrameComplete(const TFonKadr& frame) = 0;
    /// A radio event was stamped (the readout follows).
    virtual void EventStamped(int16_t eventNo, const rt::DateTimeParts& t) = 0;
    /// The three radio boards were read and restarted.
    virtual void EventRead(const TRadKadr& event) = 0;
    /// The run stopped by itself (driver error, board not ready); the boards
    /// are released already.
    virtual void Halted(const std::string& message) = 0;

protected:
    ~CycleSink() = default;
};

class Cycle {
public:
    Cycle(Boards& boards, const ChannelLimits& limits, CycleSink& sink);

    // ---- The records being filled -----------------------------------------------
    /// The frame being filled and the last radio event read. While a readout
    /// thread runs they belong to it; the gains are put in before a start.
    alignas(8) TFonKadr FonRec{};
    alignas(8) TRadKadr RadRec{};

    // ---- Run parameters (set by the run at each start) -----------------------
    int32_t SampleRate = boards::kSampleRate;
    int32_t FonSamples = boards::kFonSamples;
    int32_t RadSamples = boards::kRadSamples;

    // ---- Background counting --------------------------------------------------
    alignas(64) std::array<int16_t, kFonBufSize> FonBuf{};
    int32_t PulseCount1 = 0, PulseCount2 = 0;
    int32_t FonSum1 = 0, FonSum2 = 0, FonSum3 = 0, FonSum4 = 0;
    int32_t FonLimit = 0;
    int16_t MinPulseGap = 0;
    int32_t CycleCount = 0;
    int32_t PointNo = 0;
    int16_t PlotCount = 0;
    int16_t PlotStart = 0;

    /// A run begins: counters and sums at 0, KadrNo 0, the first frame begun,
    /// both background boards counted as just started. `chanParam` is the
    /// background boards' channel word, stored in every frame.
    void Begin(int32_t chanParam);
    /// One tick: radio poll, one background cycle, and a point when 25
    /// cycles are complete. Raises rt::EConvertError for a limit that is not
    /// a whole number (the rest of the tick is skipped).
    void Timer1Timer();
    /// One background cycle; returns at once while the first background board has no data.
    void ReadFon();
    /// Pulse search of channels 1-2 (Otbor1) or 3-4 (Otbor2) in FonBuf.
    void Otbor1();
    void Otbor2();
    /// Reads and hands on a radio event when the first radio board reports one.
    void ReadEAS();
    /// Begins a frame: time and date stamp, Rate, cleared spectra, next
    /// KadrNo, and the limits and channel word it is counted with.
    void FonTime();
    /// Stamps a radio event: time and date, next EventNo.
    void EASTime();
    /// Asks the first radio board for its status and records the event when bit 0 is set.
    /// False when the run has stopped (the caller goes no further).
    bool RadioPoll();

    /// True from Begin until the boards are released (a stop, an error).
    bool Active() const { return active_; }
    /// Steady-clock time at which the next tick has work: when the first
    /// board's data are due, or soon after while they are overdue; at most
    /// a radio poll period away. INT64_MAX once the run has stopped.
    int64_t NextTickNs(int64_t now) const;
    /// Makes a wait inside a tick give up at once (the run is being stopped).
    void RequestStop() { stop_.store(true); }
    /// Stops and releases the boards (the end of the live time and of the
    /// recording, whose time StoppedAt keeps).
    void Release();
    /// The time of day the recording last stopped (a stop, an error).
    TPointTime StoppedAt() const { return stoppedAt_; }
    const LiveTime& Live() const { return live_; }
    /// One background acquisition, in ns (Samples at Rate).
    int64_t AcquisitionNs() const;

private:
    void ClosePoint();
    bool ReadBoard(IADCDevice* board, int b);
    bool WaitFonReady(IADCDevice* board, int b);
    void SearchInputs(int firstChannel, int16_t* spectr1, int16_t* spectr2);
    /// Reads channel c's limit and puts it into the frame (as far as 16 bits hold it).
    int32_t LimitInForce(int c);
    void Error(int32_t code);
    void Halt(const std::string& message);
    /// How long a background board may stay silent after its Start: 100
    /// acquisition times, at least 100 ms.
    int64_t WaitBoundNs() const;
    /// Board b (0, 1) stayed silent past the bound: the run halts.
    void HaltNotReady(int b);

    Boards& boards_;
    const ChannelLimits& limits_;
    CycleSink& sink_;
    LiveTime live_;
    Pacer pacer_;
    std::array<int64_t, 2> startedNs_{}; ///< when each background board was last started
    int32_t chanParam_ = boards::kFonChanParam;
    std::atomic<bool> stop_{false};
    bool active_ = false;
    TPointTime stoppedAt_{};
};

} // namespace acq
