#include "acquisition/Readout.h"

#include <chrono>
#include <climits>
#include <cstdlib>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>


namespace acq {

void Readout::Start(std::function<void()> tick, std::function<int64_t(int64_t)> next)
{
    Stop();
    tick_ = std::move(tick);
    next_ = std::move(next);
    stop_ = false;
    thread_ = std::thread([this] { Loop(); });
}

void Readout::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

namespace {

/// Real-time priority of the readout where the system allows it (root, or
/// an rtprio limit for the user): other processes then cannot delay the
/// reading of a board. Where it is not allowed the thread keeps the normal
/// policy. VFON_NO_REALTIME set to anything refuses it.
constexpr int kRealtimePriority = 10;

void AskRealtime()
{
    if (std::getenv("VFON_NO_REALTIME"))
        return;
    sched_param p{};
    p.sched_priority = kRealtimePriority;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &p);
}

} // namespace

void Readout::Loop()
{
    // Wake-ups exactly when asked: the default timer slack of 50 µs would
    // add to every board's dead time.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    AskRealtime();
    std::unique_lock lock(mutex_);
    while (!stop_) {
        lock.unlock();
        tick_();
        const int64_t next = next_(SteadyNowNs());
        lock.lock();
        if (next == INT64_MAX)
            break;
        pacer_.WaitUntil(next, lock, wake_, [this] { return stop_; });
    }
}

} // namespace acq
