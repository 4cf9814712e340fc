#pragma once
// What the coincidence search works on: the events of each station as
// instants, each with the place of its record, and the coincidences found.
#include <cstdint>
#include <string>
#include <vector>

namespace coinc {

/// Default window of a coincidence: 20 ms, a few times the spread of the
/// stations' NTP-kept clocks and their 10 ms polls.
inline constexpr int64_t kDefaultWindowNs = 20'000'000;

/// One event of a station.
struct Event {
    int64_t ns = 0;      ///< instant, ns since 1970-01-01 UTC
    int32_t file = 0;    ///< index of the station's file that holds it
    int32_t record = 0;  ///< record number in that file, from 1
};

/// A station's events, sorted by time.
struct StationEvents {
    std::string id;
    std::vector<Event> events;
};

/// One event of a coincidence.
struct Member {
    int32_t station = 0; ///< index of the station
    Event event;
};

/// Events of two or more stations within the window of the first of them.
struct Coincidence {
    int64_t id = 0;               ///< numbered from 1 in order of finding
    std::vector<Member> members;  ///< in time order
    /// Instant of the first member.
    int64_t FirstNs() const { return members.front().event.ns; }
    /// Number of stations among the members.
    int Stations() const;
};

} // namespace coinc
