// The test-only control entries of the simulated driver library.
// The declarations come first, with default visibility, so that these
// entries are exported although the library hides everything else.
#pragma GCC visibility push(default)
#include "simdriver/SimControl.h"
#pragma GCC visibility pop

#include <algorithm>
#include <mutex>

#include "simdriver/SimBoard.h"
#include "simdriver/SimState.h"

using sim::state;

extern "C" {

void sim_reset(void)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.reset();
}

size_t sim_call_count(void)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.log.size();
}

const SimCall* sim_call(size_t index)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return index < s.log.size() ? &s.log[index] : nullptr;
}

void sim_clear_log(void)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.log.clear();
}

void sim_log_polls(int on)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.logPolls = on != 0;
}

void sim_fail(int32_t board, int32_t op, int32_t count, int32_t status)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.failures.push_back({board, op, std::max(count, 1), status});
}

void sim_script_samples(int32_t board, int32_t input, const int16_t* data, size_t n)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    sim::BoardSlot* slot = s.slot(board);
    if (!slot || input < 0 || input > 1)
        return;
    auto& script = slot->script[static_cast<size_t>(input)];
    if (data && n > 0)
        script.assign(data, data + n);
    else
        script.clear();
}

void sim_set_instant(int on)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.instant = on != 0;
}

void sim_set_never_ready(int32_t board, int on)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (sim::BoardSlot* slot = s.slot(board))
        slot->neverReady = on != 0;
}

void sim_set_event_rate(double perMinute)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.eventRate = perMinute > 0.0 ? perMinute : 0.0;
}

void sim_trigger_at_query(int32_t board, int32_t nth)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (sim::BoardSlot* slot = s.slot(board))
        slot->triggerAt = nth > 0 ? slot->statusQueries + nth : 0;
}

int32_t sim_status_queries(int32_t board)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const sim::BoardSlot* slot = s.slot(board);
    return slot ? slot->statusQueries : 0;
}

double sim_live_seconds(int32_t board, double* wall)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const double t = sim::now();
    if (wall)
        *wall = t - s.resetTime;
    const sim::BoardSlot* slot = s.slot(board);
    if (!slot)
        return 0.0;
    double live = slot->liveClosed;
    for (const sim::SimBoard* b : s.boards)
        if (b->number() == board)
            live += b->openLiveSeconds(t, s.resetTime);
    return live;
}

double sim_data_cpu_seconds(void)
{
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.dataCpuSeconds;
}

} // extern "C"
