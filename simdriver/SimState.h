#pragma once
// Shared state of the simulated driver library: the call log, the scripts and
// settings that tests put in through the control interface, the per-board
// counters, and the list of live board objects. Everything is guarded by one
// mutex, taken once per driver call.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "simdriver/SimControl.h"
#include "simdriver/SimRandom.h"
#include "simdriver/SimSky.h"

namespace sim {

class SimBoard;

/// Highest board number Init accepts (the program uses 1..5).
inline constexpr int32_t kMaxBoardNo = 64;
/// Default random radio events per minute.
inline constexpr double kDefaultEventRate = 3.0;

/// Settings and counters of one board number (index 0: boards before Init).
struct BoardSlot {
    int32_t statusQueries = 0;         ///< Control code 0 calls so far
    int32_t triggerAt = 0;             ///< query number that sets bit 0; 0 = none
    bool neverReady = false;           ///< status word held at 0
    std::array<std::vector<int16_t>, 2> script; ///< scripted samples per input
    double liveClosed = 0.0;           ///< acquiring seconds of finished runs
};

/// A one-shot scripted failure.
struct ScriptedFailure {
    int32_t board;
    int32_t op;
    int32_t remaining; ///< matching calls still to come before it fires
    int32_t status;
};

/// The library's single shared state.
struct SimState {
    std::mutex mutex;
    std::vector<SimCall> log;
    /// No call is logged in a freshly loaded library, so a program's run
    /// keeps no log; reset (test control only) turns logging on.
    bool logCalls = false;
    bool logPolls = true;
    std::vector<ScriptedFailure> failures;
    std::array<BoardSlot, kMaxBoardNo + 1> slots;
    bool instant = false;
    double eventRate = kDefaultEventRate;
    int32_t creations = 0;  ///< CreateInstance calls since reset
    double resetTime = 0.0; ///< clock reading of the last reset
    /// Processor seconds GetData spent making and copying samples since the
    /// last reset: the share of a program's processor time that is the
    /// boards' (a real driver copies from the board instead).
    double dataCpuSeconds = 0.0;
    uint64_t seed; ///< the seed rng started from (see SimState.cpp)
    Rng rng;
    std::vector<SimBoard*> boards; ///< live board objects
    /// The shared sky of the environment (LAN10M8SIM_SKY), or none.
    std::unique_ptr<Sky> sky;

    SimState();

    /// Back to the test defaults (every call logged); keeps live boards and
    /// the generated waveforms.
    void reset();

    /// Appends a call to the log (GetData and Control only when polls are logged).
    void record(const SimCall& call);

    /// True when a scripted failure of `op` on `board` fires on this call;
    /// its status is then put in `status`. Counts the call for every script
    /// of that board and operation.
    bool takeFailure(int32_t board, int32_t op, int32_t& status);

    /// The settings of a board number, or nullptr when out of range.
    BoardSlot* slot(int32_t board);
    const BoardSlot* slot(int32_t board) const;
};

/// The shared state (constructed on first use).
SimState& state();

/// Seconds on the monotonic clock since the library was loaded.
double now();
/// Seconds since 1970-01-01 UTC on the system clock.
double utcNow();
/// Processor seconds of the calling thread.
double threadCpuSeconds();

/// A log row with the given arguments and zeroed parameter bytes.
SimCall makeCall(int32_t board, int32_t op, int32_t a0 = 0, int32_t a1 = 0, int32_t a2 = 0,
                 int32_t a3 = 0);

} // namespace sim
