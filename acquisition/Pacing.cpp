#include "acquisition/Pacing.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace acq {
namespace {

/// Bounds of the margin: never a long watch of the clock, never none.
constexpr int64_t kLeastMargin = 20'000;
constexpr int64_t kMostMargin = 400'000;
/// What the margin keeps beyond the wake-up delay it learnt.
constexpr int64_t kMarginReserve = 30'000;
/// Pauses between two readings of the clock while watching it (a reading
/// costs far more on a virtual machine than a pause).
constexpr int kPausesPerReading = 16;

} // namespace

void SleepUntilNs(int64_t ns)
{
    // The steady clock is CLOCK_MONOTONIC; an absolute sleep does not drift.
    const timespec until{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

int64_t SteadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Pacer::Learn(int64_t target, int64_t woke)
{
    // The margin follows the recent wake-up delays with a reserve: it grows
    // at once after a late wake-up and shrinks slowly after early ones.
    const int64_t wanted = std::max<int64_t>(woke - target, 0) + kMarginReserve;
    margin_ = wanted > margin_ ? wanted : (15 * margin_ + wanted) / 16;
    margin_ = std::clamp(margin_, kLeastMargin, kMostMargin);
}

void Pacer::Watch(int64_t due) const
{
    while (SteadyNowNs() < due) {
        for (int i = 0; i < kPausesPerReading; ++i) {
#if defined(__x86_64__) || defined(__i386__)
            _mm_pause();
#endif
        }
    }
}

void Pacer::WaitUntil(int64_t due)
{
    const int64_t target = due - margin_;
    if (SteadyNowNs() < target) {
        SleepUntilNs(target);
        Learn(target, SteadyNowNs());
    }
    Watch(due);
}

} // namespace acq
