// Shared state of the simulated driver library.
#include "simdriver/SimState.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <unistd.h>

namespace sim {
namespace {

/// Log rows kept without reallocation (a run's set-up and many polls).
constexpr size_t kLogReserve = size_t{1} << 15;
/// Beyond this many rows, GetData and Control rows are no longer kept, so
/// that a long run with polls logged cannot eat the memory (76 MB).
constexpr size_t kLogPollLimit = size_t{1} << 20;
/// The seed sim_reset pins, so that a test's boards draw the same numbers
/// on every run.
constexpr uint64_t kSeed = 0x1A2B3C4D5E6F7081ull;

/// The seed of a freshly loaded library: LAN10M8SIM_SEED when set, else one
/// of this process and moment, so that two simulated stations started
/// together do not draw the same event intervals.
uint64_t processSeed()
{
    if (const char* pinned = std::getenv("LAN10M8SIM_SEED"); pinned && *pinned)
        return std::strtoull(pinned, nullptr, 0);
    uint64_t mix = static_cast<uint64_t>(::getpid()) << 32;
    mix ^= static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    mix ^= static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) * 0x9E3779B97F4A7C15ull;
    return splitmix64(mix);
}

const std::chrono::steady_clock::time_point g_loaded = std::chrono::steady_clock::now();

} // namespace

SimState::SimState()
    : seed(processSeed())
    , rng(seed)
{
    // A program run on the simulated boards (a test of the whole program)
    // may ask for another rate of radio events than the default.
    if (const char* rate = std::getenv("LAN10M8SIM_EVENTS_PER_MINUTE"))
        eventRate = std::max(0.0, std::atof(rate));
    if (const std::optional<SkySettings> settings = skyFromEnvironment())
        sky = std::make_unique<Sky>(*settings, seed);
    log.reserve(kLogReserve);
    failures.reserve(16);
    boards.reserve(16);
}

void SimState::reset()
{
    log.clear();
    logCalls = true;
    logPolls = true;
    failures.clear();
    for (BoardSlot& s : slots)
        s = BoardSlot{};
    instant = false;
    eventRate = kDefaultEventRate;
    creations = 0;
    resetTime = now();
    dataCpuSeconds = 0.0;
    seed = kSeed;
    rng.reseed(kSeed);
}

void SimState::record(const SimCall& call)
{
    if (!logCalls)
        return;
    const bool poll = call.op == SimOpGetData || call.op == SimOpControl;
    if (poll && (!logPolls || log.size() >= kLogPollLimit))
        return;
    log.push_back(call);
}

bool SimState::takeFailure(int32_t board, int32_t op, int32_t& status)
{
    bool fired = false;
    for (size_t i = 0; i < failures.size();) {
        ScriptedFailure& f = failures[i];
        const bool matches = f.op == op && (op == SimOpCreate || f.board == board);
        if (matches && --f.remaining <= 0) {
            if (!fired) {
                status = f.status;
                fired = true;
            }
            failures.erase(failures.begin() + static_cast<std::ptrdiff_t>(i));
            continue;
        }
        ++i;
    }
    return fired;
}

BoardSlot* SimState::slot(int32_t board)
{
    if (board < 0 || board > kMaxBoardNo)
        return nullptr;
    return &slots[static_cast<size_t>(board)];
}

const BoardSlot* SimState::slot(int32_t board) const
{
    return const_cast<SimState*>(this)->slot(board);
}

SimState& state()
{
    static SimState s;
    return s;
}

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - g_loaded).count();
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

double utcNow()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

SimCall makeCall(int32_t board, int32_t op, int32_t a0, int32_t a1, int32_t a2, int32_t a3)
{
    SimCall c{};
    c.board = board;
    c.op = op;
    c.args[0] = a0;
    c.args[1] = a1;
    c.args[2] = a2;
    c.args[3] = a3;
    return c;
}

} // namespace sim
