#pragma once
// The readout thread of a run: it runs the cycle's ticks one after the
// other and sleeps in between until the next tick has work, so the boards
// are read as soon as their data are due and no core is kept busy waiting.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "acquisition/Pacing.h"

namespace acq {

class Readout {
public:
    ~Readout() { Stop(); }
    /// Starts the thread: `tick` runs, then the thread sleeps until the
    /// steady-clock time `next(now)` returns (INT64_MAX ends the loop).
    void Start(std::function<void()> tick, std::function<int64_t(int64_t)> next);
    /// Asks the loop to end and waits until it has (a tick under way runs to
    /// its end). Nothing happens when no thread runs.
    void Stop();
    bool Joinable() const { return thread_.joinable(); }

private:
    void Loop();

    std::function<void()> tick_;
    std::function<int64_t(int64_t)> next_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    Pacer pacer_;
};

} // namespace acq
