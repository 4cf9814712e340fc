#pragma once
// Waiting for a moment on the steady clock precisely and cheaply: the thread
// sleeps until shortly before the moment and covers the rest by watching the
// clock. How much earlier it wakes follows the wake-up delays the system has
// shown (a sleep ends tens to hundreds of microseconds late, more on a busy
// machine), so a board is read within microseconds of its data being due
// while the waiting costs almost no processor time.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace acq {

/// Nanoseconds of the steady clock (the clock of every pacing decision).
int64_t SteadyNowNs();
/// Sleeps until the steady clock reads `ns` (returns at once when past).
void SleepUntilNs(int64_t ns);

class Pacer {
public:
    /// Returns at `due` (at once when past).
    void WaitUntil(int64_t due);
    /// The same, but the sleep ends early when `wake` is notified and
    /// `stop()` holds; returns false then. `lock` holds wake's mutex.
    template <class Stop>
    bool WaitUntil(int64_t due, std::unique_lock<std::mutex>& lock, std::condition_variable& wake, Stop stop);

private:
    /// Learns from a sleep that was asked to end at `target` and ended at `woke`.
    void Learn(int64_t target, int64_t woke);
    void Watch(int64_t due) const;

    int64_t margin_ = 150'000;
};

template <class Stop>
bool Pacer::WaitUntil(int64_t due, std::unique_lock<std::mutex>& lock, std::condition_variable& wake, Stop stop)
{
    const int64_t target = due - margin_;
    if (SteadyNowNs() < target) {
        const std::chrono::steady_clock::time_point until{std::chrono::nanoseconds(target)};
        if (wake.wait_until(lock, until, stop))
            return false;
        Learn(target, SteadyNowNs());
    }
    lock.unlock();
    Watch(due);
    lock.lock();
    return !stop();
}

} // namespace acq
