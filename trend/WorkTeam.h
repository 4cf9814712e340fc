#pragma once
// A small fixed team of threads that shares out the work on the records of
// one chunk. The calling thread works too, and every thread takes the next
// undone index until none is left, so a helper that wakes late costs nothing
// but its share. The helpers sleep between chunks and inherit the caller's
// scheduling (a lowered nice value stays lowered).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace trend {

class WorkTeam {
public:
    /// A team of `threads` threads, the caller's included; 0 means one per
    /// core. One thread means no helper: the caller does all.
    explicit WorkTeam(unsigned threads);
    ~WorkTeam();
    WorkTeam(const WorkTeam&) = delete;
    WorkTeam& operator=(const WorkTeam&) = delete;

    /// Calls fn(i) once for every i in 0..n-1, on any thread of the team;
    /// fn must not throw. Returns when all calls are done.
    void ForEach(int32_t n, const std::function<void(int32_t)>& fn);

    /// Threads of the team, the caller's included.
    unsigned Size() const { return static_cast<unsigned>(helpers_.size()) + 1; }

private:
    void Help();
    void Work();

    std::vector<std::thread> helpers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    uint64_t generation_ = 0; ///< counts the ForEach calls; a helper joins each new one
    unsigned active_ = 0;     ///< helpers that joined the current call and have not left it
    bool quit_ = false;
    // The current call: set only while no helper is active.
    int32_t n_ = 0;
    const std::function<void(int32_t)>* fn_ = nullptr;
    std::atomic<int32_t> next_ = 0; ///< the next index to take
};

} // namespace trend
