#include "acquisition/LiveTime.h"

#include <algorithm>

namespace acq {

void LiveTime::Begin(int64_t now, int64_t acquisitionNs)
{
    std::lock_guard lock(mutex_);
    begin_ = now;
    acquisition_ = acquisitionNs;
    closed_ = {};
    open_ = {now, now};
    stopped_ = {-1, -1};
    standing_ = {};
    cycles_ = 0;
    end_ = -1;
}

void LiveTime::Started(int b, int64_t now)
{
    std::lock_guard lock(mutex_);
    const size_t i = static_cast<size_t>(b);
    open_[i] = now;
    if (stopped_[i] >= 0)
        standing_[i] += now - stopped_[i];
    stopped_[i] = -1;
}

void LiveTime::Stopped(int b, int64_t now)
{
    std::lock_guard lock(mutex_);
    int64_t& open = open_[static_cast<size_t>(b)];
    if (open >= 0)
        closed_[static_cast<size_t>(b)] += std::min(now - open, acquisition_);
    open = -1;
    stopped_[static_cast<size_t>(b)] = now;
}

void LiveTime::CycleDone()
{
    std::lock_guard lock(mutex_);
    ++cycles_;
}

void LiveTime::End(int64_t now)
{
    std::lock_guard lock(mutex_);
    if (end_ >= 0)
        return;
    for (size_t b = 0; b < 2; ++b)
        if (open_[b] >= 0)
            closed_[b] += std::min(now - open_[b], acquisition_);
    open_ = {-1, -1};
    end_ = now;
}

LiveFigures LiveTime::Read(int64_t now) const
{
    std::lock_guard lock(mutex_);
    if (end_ >= 0)
        now = end_;
    LiveFigures f;
    const int64_t wall = now - begin_;
    f.Seconds = wall / 1e9;
    f.Cycles = cycles_;
    for (size_t b = 0; b < 2; ++b) {
        int64_t live = closed_[b];
        if (open_[b] >= 0)
            live += std::clamp<int64_t>(now - open_[b], 0, acquisition_);
        f.Percent[b] = wall > 0 ? 100.0 * static_cast<double>(live) / static_cast<double>(wall) : 0.0;
        f.ReadPercent[b] = wall > 0 ? 100.0 * static_cast<double>(standing_[b]) / static_cast<double>(wall) : 0.0;
    }
    return f;
}

} // namespace acq
