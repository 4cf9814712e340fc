#pragma once
// The coincidence search fed as events arrive, in any order: live events a
// moment old and a station's backlog hours late alike.
//
// The finder keeps the events it was given. A new event can only change the
// groups of its chain: the run of events round it in which each lies within
// the window of the one before (a gap wider than the window starts a group
// of the batch search whatever came before). So each addition regroups its
// chain by the batch rule (FindCoincidences.h) and reports what changed: a
// coincidence found, one that gained members (same id), or one withdrawn
// because a late event regrouped its chain. After any order of additions
// the coincidences are those of the batch search over the same events.
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <tuple>
#include <vector>

#include "coincidence/Events.h"

namespace coinc {

/// What one addition changed.
struct Change {
    enum Kind { Found, Grown, Withdrawn };
    Kind kind = Found;
    Coincidence coincidence; ///< as it is now (as it was, for Withdrawn)
};

/// The incremental search (see above). Not thread-safe.
class IncrementalFinder {
public:
    explicit IncrementalFinder(int64_t windowNs = kDefaultWindowNs) : window_(windowNs) {}

    /// Adds events of station `station`; an event already given (same
    /// station, instant, file and record) is not added again. Returns the
    /// changes, in time order.
    std::vector<Change> Add(int32_t station, std::span<const Event> events);

    /// The coincidences kept, in time order of their first members.
    std::vector<Coincidence> All() const;

    /// Forgets the events before `ns` and the coincidences that begin before
    /// it; an event arriving later still is grouped with what remains.
    void Forget(int64_t ns);

    /// Events kept.
    size_t EventCount() const { return events_.size(); }
    /// The events kept, per station index 0..`stations`-1, each sorted by
    /// time (ids left empty).
    std::vector<StationEvents> EventsByStation(size_t stations) const;

private:
    using Key = std::tuple<int64_t, int32_t, int32_t, int32_t>; // ns, station, file, record
    static Key KeyOf(const Member& m) { return {m.event.ns, m.station, m.event.file, m.event.record}; }
    /// The chain of `key` (see above) as a time-ordered stream.
    std::vector<Member> ChainOf(const Key& key) const;
    void Regroup(const Key& key, std::vector<Change>& changes);

    int64_t window_;
    int64_t nextId_ = 1;
    std::set<Key> events_;
    std::map<Key, int64_t> memberOf_;          ///< event → coincidence id
    std::map<int64_t, Coincidence> byId_;
};

} // namespace coinc
