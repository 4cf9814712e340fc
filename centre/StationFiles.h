#pragma once
// One station's files in the centre's store, DIR/ID/: trend.csv (the
// columns of `vfon-export --trend`, one line per frame and channel) and
// events.csv, and which (file, record) pairs they already hold, so each is
// kept once however often it arrives. A trend.csv of an older header is set
// aside (trend.old.csv, trend.old2.csv, ...), its records still counted as
// held; a line torn by a crash is ended before the next is written.
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <utility>

#include "protocol/Inbound.h"

namespace centre {

class StationFiles {
public:
    /// The files of station `id` in `storeDir` (the folder is made when missing).
    StationFiles(const std::string& storeDir, const std::string& id);
    ~StationFiles();
    StationFiles(const StationFiles&) = delete;
    StationFiles& operator=(const StationFiles&) = delete;

    /// Frame and event records held.
    int64_t Frames() const { return static_cast<int64_t>(framesHeld_.size()); }
    int64_t Events() const { return static_cast<int64_t>(eventsHeld_.size()); }

    /// Appends the frame's four trend lines; false when it is held already.
    bool AddFrame(const protocol::FrameMessage& m);
    /// Appends the event's line; false when it is held already.
    bool AddEvent(const protocol::EventMessage& m);

private:
    std::FILE* trend_ = nullptr;
    std::FILE* events_ = nullptr;
    std::set<std::pair<std::string, int64_t>> framesHeld_, eventsHeld_;
};

} // namespace centre
