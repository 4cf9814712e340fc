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
    // The margin follows about twice the recent wake-up delay: it grows at
    // once after a late wake-up and shrinks slowly after early ones.
    const int64_t wanted = 2 * std::max<int64_t>(woke - target, 0);
    margin_ = wanted > margin_ ? wanted : (15 * margin_ + wanted) / 16;
    margin_ = std::clamp(margin_, kLeastMargin, kMostMargin);
}

void Pacer::Watch(int64_t due) const
{
    while (SteadyNowNs() < due) {
#if defined(__x86_64__) || defined(__i386__)
        _mm_pause();
#endif
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
