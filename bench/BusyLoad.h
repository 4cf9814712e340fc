#pragma once
// Load for the "busy" conditions of the benchmarks: busy-loop processes,
// one per core, killed when the object goes.
#include <algorithm>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace bench_load {

/// One busy-loop process per core while it lives (none when `on` is false).
class BusyLoad {
public:
    explicit BusyLoad(bool on)
    {
        const unsigned cores = on ? std::max(1u, std::thread::hardware_concurrency()) : 0;
        for (unsigned i = 0; i < cores; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                volatile unsigned long n = 0;
                for (;;)
                    n = n + 1;
            }
            if (pid > 0)
                children_.push_back(pid);
        }
    }
    ~BusyLoad()
    {
        for (pid_t pid : children_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }
    BusyLoad(const BusyLoad&) = delete;
    BusyLoad& operator=(const BusyLoad&) = delete;

private:
    std::vector<pid_t> children_;
};

} // namespace bench_load
