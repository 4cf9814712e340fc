#include "coincidence/IncrementalFinder.h"

#include <algorithm>

#include "coincidence/FindCoincidences.h"

namespace coinc {
namespace {

Member MemberOf(const std::tuple<int64_t, int32_t, int32_t, int32_t>& k)
{
    return Member{std::get<1>(k), Event{std::get<0>(k), std::get<2>(k), std::get<3>(k)}};
}

bool SameMembers(const Coincidence& a, const Coincidence& b)
{
    if (a.members.size() != b.members.size())
        return false;
    for (size_t i = 0; i < a.members.size(); ++i) {
        const Member &x = a.members[i], &y = b.members[i];
        if (x.station != y.station || x.event.ns != y.event.ns || x.event.file != y.event.file
            || x.event.record != y.event.record)
            return false;
    }
    return true;
}

} // namespace

std::vector<Change> IncrementalFinder::Add(int32_t station, std::span<const Event> events)
{
    std::vector<Change> changes;
    for (const Event& e : events) {
        const Key key = KeyOf(Member{station, e});
        if (events_.insert(key).second)
            Regroup(key, changes);
    }
    std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) {
        return a.coincidence.FirstNs() < b.coincidence.FirstNs();
    });
    return changes;
}

std::vector<Member> IncrementalFinder::ChainOf(const Key& key) const
{
    auto begin = events_.find(key);
    while (begin != events_.begin() && std::get<0>(*begin) - std::get<0>(*std::prev(begin)) <= window_)
        --begin;
    auto end = std::next(events_.find(key));
    while (end != events_.end() && std::get<0>(*end) - std::get<0>(*std::prev(end)) <= window_)
        ++end;
    std::vector<Member> chain;
    for (auto it = begin; it != end; ++it)
        chain.push_back(MemberOf(*it));
    return chain;
}

void IncrementalFinder::Regroup(const Key& key, std::vector<Change>& changes)
{
    const std::vector<Member> chain = ChainOf(key);
    // The coincidences the chain held before.
    std::set<int64_t> before;
    for (const Member& m : chain)
        if (auto it = memberOf_.find(KeyOf(m)); it != memberOf_.end())
            before.insert(it->second);
    std::set<int64_t> kept;
    for (Coincidence& c : GroupStream(chain, window_, 0)) {
        // A group keeps the id of the earliest coincidence it shares an event with.
        int64_t id = 0;
        for (const Member& m : c.members)
            if (auto it = memberOf_.find(KeyOf(m)); it != memberOf_.end() && !kept.count(it->second)) {
                id = it->second;
                break;
            }
        if (id != 0 && SameMembers(byId_.at(id), c)) {
            kept.insert(id);
            continue;
        }
        const bool grown = id != 0;
        c.id = grown ? id : nextId_++;
        kept.insert(c.id);
        if (grown)
            for (const Member& m : byId_.at(id).members)
                memberOf_.erase(KeyOf(m));
        for (const Member& m : c.members)
            memberOf_[KeyOf(m)] = c.id;
        byId_[c.id] = c;
        changes.push_back(Change{grown ? Change::Grown : Change::Found, std::move(c)});
    }
    for (int64_t id : before) {
        if (kept.count(id))
            continue;
        Coincidence gone = std::move(byId_.at(id));
        byId_.erase(id);
        for (const Member& m : gone.members)
            if (auto it = memberOf_.find(KeyOf(m)); it != memberOf_.end() && it->second == id)
                memberOf_.erase(it);
        changes.push_back(Change{Change::Withdrawn, std::move(gone)});
    }
}

std::vector<Coincidence> IncrementalFinder::All() const
{
    std::vector<Coincidence> all;
    all.reserve(byId_.size());
    for (const auto& [id, c] : byId_)
        all.push_back(c);
    std::sort(all.begin(), all.end(), [](const Coincidence& a, const Coincidence& b) { return a.FirstNs() < b.FirstNs(); });
    return all;
}

std::vector<StationEvents> IncrementalFinder::EventsByStation(size_t stations) const
{
    std::vector<StationEvents> out(stations);
    for (const Key& k : events_)
        if (const auto s = static_cast<size_t>(std::get<1>(k)); s < stations)
            out[s].events.push_back(MemberOf(k).event);
    return out;
}

void IncrementalFinder::Forget(int64_t ns)
{
    for (auto it = byId_.begin(); it != byId_.end();) {
        if (it->second.FirstNs() < ns) {
            for (const Member& m : it->second.members)
                memberOf_.erase(KeyOf(m));
            it = byId_.erase(it);
        } else {
            ++it;
        }
    }
    events_.erase(events_.begin(), events_.lower_bound(Key{ns, INT32_MIN, INT32_MIN, INT32_MIN}));
}

} // namespace coinc
