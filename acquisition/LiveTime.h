#pragma once
// The live time of the background boards, from the program's own
// timestamps: a board counts as acquiring from its Start until its
// acquisition time has passed or until it is stopped for reading, whichever
// comes first. Written by the cycle, read by the views at any time.
#include <array>
#include <cstdint>
#include <mutex>

#include "acquisition/Pacing.h"

namespace acq {

/// What the views show of a run.
struct LiveFigures {
    double Seconds = 0;                ///< wall time since the run began
    std::array<double, 2> Percent{};   ///< live time of each background board, % of wall time
    int64_t Cycles = 0;                ///< background cycles completed
    /// Time each board stood stopped for its read (from its Stop to its next
    /// Start), % of wall time: the part of the dead time the copy of its data
    /// takes, which no program can save while the driver copies them there.
    std::array<double, 2> ReadPercent{};
};

class LiveTime {
public:
    /// A run begins at `now` with both background boards just started.
    void Begin(int64_t now, int64_t acquisitionNs);
    /// Board b (0, 1) was started at `now`.
    void Started(int b, int64_t now);
    /// Board b was stopped at `now` (for reading, or released).
    void Stopped(int b, int64_t now);
    void CycleDone();
    /// The run ended at `now`: the figures stay as they are from here on.
    void End(int64_t now);
    LiveFigures Read(int64_t now) const;

private:
    mutable std::mutex mutex_;
    int64_t begin_ = 0;
    int64_t acquisition_ = 0;
    std::array<int64_t, 2> closed_{};   ///< acquiring time of finished acquisitions
    std::array<int64_t, 2> open_{-1, -1}; ///< start of the acquisition under way, or -1
    std::array<int64_t, 2> stopped_{-1, -1}; ///< when each board was stopped for its read, or -1
    std::array<int64_t, 2> standing_{};      ///< time stood stopped for reads
    int64_t cycles_ = 0;
    int64_t end_ = -1; ///< when the run ended, or -1 while it goes on
};

} // namespace acq
