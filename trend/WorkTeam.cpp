#include "trend/WorkTeam.h"

#include <algorithm>

namespace trend {

namespace {

/// Up to this many threads: a chunk holds few records, and the scan is
/// bound by memory long before.
constexpr unsigned kMaxThreads = 8;

} // namespace

WorkTeam::WorkTeam(unsigned threads)
{
    if (threads == 0)
        threads = std::max(1u, std::thread::hardware_concurrency());
    threads = std::min(threads, kMaxThreads);
    helpers_.reserve(threads - 1);
    for (unsigned s = 1; s < threads; ++s)
        helpers_.emplace_back([this] { Help(); });
}

WorkTeam::~WorkTeam()
{
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : helpers_)
        t.join();
}

void WorkTeam::Work()
{
    for (int32_t i = next_.fetch_add(1, std::memory_order_relaxed); i < n_;
         i = next_.fetch_add(1, std::memory_order_relaxed))
        (*fn_)(i);
}

void WorkTeam::ForEach(int32_t n, const std::function<void(int32_t)>& fn)
{
    if (helpers_.empty() || n < 2) {
        for (int32_t i = 0; i < n; ++i)
            fn(i);
        return;
    }
    {
        // A helper that joined the last call after it ended may still be
        // looking at it: wait until it has left.
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return active_ == 0; });
        n_ = n;
        fn_ = &fn;
        next_.store(0, std::memory_order_relaxed);
        ++generation_;
    }
    wake_.notify_all();
    Work();
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return active_ == 0; });
}

void WorkTeam::Help()
{
    uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return quit_ || generation_ != seen; });
            if (quit_)
                return;
            seen = generation_;
            ++active_;
        }
        Work();
        bool last = false;
        {
            std::lock_guard lock(mutex_);
            last = --active_ == 0;
        }
        if (last)
            idle_.notify_all();
    }
}

} // namespace trend
