#pragma once
// Test access to the simulated driver library's control entries.
//
// The library is opened with dlopen(SIMDRIVER_PATH, RTLD_NOW); since dlopen of
// the same path yields the already loaded instance, the settings made here are
// seen by the boards the program obtains through its own loading. The handle
// is never closed, like the program's: the library stays for the process.
#include <cstdint>
#include <vector>

#include "simdriver/SimControl.h"

class IFactory;

/// Thin wrapper over the sim_* entries, resolved with dlsym.
class SimDriverControl {
public:
    /// Opens the library and resolves every entry; throws std::runtime_error
    /// naming the library or entry that could not be had.
    SimDriverControl();

    /// The library's factory object, as the program would see it.
    IFactory* factory() const { return factory_; }

    /// Forgets log, scripts, triggers and settings (sim_reset).
    void reset() const { reset_(); }
    /// Empties the call log.
    void clearLog() const { clearLog_(); }
    /// Whether GetData and Control calls are logged (default on).
    void logPolls(bool on) const { logPolls_(on ? 1 : 0); }
    /// A copy of the call log.
    std::vector<SimCall> calls() const;
    /// The logged calls of one operation, optionally of one board only (board < 0: all).
    std::vector<SimCall> calls(SimOp op, int32_t board = -1) const;

    /// The count-th next call of `op` on `board` returns `status`.
    void fail(int32_t board, SimOp op, int32_t count, int32_t status) const { fail_(board, op, count, status); }
    /// Samples every later GetData of (board, input 0/1) delivers, repeated; empty removes.
    void scriptSamples(int32_t board, int32_t input, const std::vector<int16_t>& samples) const
    {
        scriptSamples_(board, input, samples.data(), samples.size());
    }
    /// Background boards ready at once after Start.
    void setInstant(bool on) const { setInstant_(on ? 1 : 0); }
    /// Board keeps its status word at 0 while set.
    void setNeverReady(int32_t board, bool on) const { setNeverReady_(board, on ? 1 : 0); }
    /// Random radio events per minute (0: none).
    void setEventRate(double perMinute) const { setEventRate_(perMinute); }
    /// The board reports bit 0 from its nth status query on, counted from now.
    void triggerAtQuery(int32_t board, int32_t nth) const { triggerAtQuery_(board, nth); }
    /// Status queries (Control code 0) of the board since reset.
    int32_t statusQueries(int32_t board) const { return statusQueries_(board); }
    /// Seconds the board was acquiring since reset; wall seconds since reset in `wall`.
    double liveSeconds(int32_t board, double* wall = nullptr) const { return liveSeconds_(board, wall); }

private:
    IFactory* factory_ = nullptr;
    decltype(&sim_reset) reset_ = nullptr;
    decltype(&sim_call_count) callCount_ = nullptr;
    decltype(&sim_call) call_ = nullptr;
    decltype(&sim_clear_log) clearLog_ = nullptr;
    decltype(&sim_log_polls) logPolls_ = nullptr;
    decltype(&sim_fail) fail_ = nullptr;
    decltype(&sim_script_samples) scriptSamples_ = nullptr;
    decltype(&sim_set_instant) setInstant_ = nullptr;
    decltype(&sim_set_never_ready) setNeverReady_ = nullptr;
    decltype(&sim_set_event_rate) setEventRate_ = nullptr;
    decltype(&sim_trigger_at_query) triggerAtQuery_ = nullptr;
    decltype(&sim_status_queries) statusQueries_ = nullptr;
    decltype(&sim_live_seconds) liveSeconds_ = nullptr;
};
