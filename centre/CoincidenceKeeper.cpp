#include "centre/CoincidenceKeeper.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>

#include "centre/SyncedAppend.h"
#include "coincidence/FindCoincidences.h"
#include "datafiles/OutputFile.h"
#include "datafiles/StationId.h"

namespace centre {
namespace {

namespace fs = std::filesystem;

/// Calls `add(file, record from 0, ns)` for every whole line of a
/// station's events.csv (file,record,event_no,time_utc,time_ns,...).
template <class Add>
void EachStoredEvent(const std::string& path, Add add)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line))
        return; // the header
    while (std::getline(in, line) && !in.eof()) {
        std::string f[5];
        size_t at = 0, i = 0;
        for (; i < 5 && at <= line.size(); ++i) {
            const size_t comma = std::min(line.find(',', at), line.size());
            f[i] = line.substr(at, comma - at);
            at = comma + 1;
        }
        char* end = nullptr;
        const long long record = std::strtoll(f[1].c_str(), &end, 10);
        if (i < 5 || f[1].empty() || *end != '\0')
            continue;
        const long long ns = std::strtoll(f[4].c_str(), &end, 10);
        if (!f[4].empty() && ns != 0 && (*end == '\0' || *end == '\r'))
            add(f[0], static_cast<int64_t>(record), static_cast<int64_t>(ns));
    }
}

/// The rows of the file by id, as text; `keep` says which ids to take.
template <class Keep>
std::map<int64_t, std::string> RowsOfFile(const std::string& path, Keep keep)
{
    std::map<int64_t, std::string> rows;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line) && !in.eof())
        if (const std::optional<int64_t> id = RowId(line);
            id && std::count(line.begin(), line.end(), ',') == 8 && keep(*id))
            rows[*id] += line + "\n";
    return rows;
}

std::string WriteWhole(const std::string& path, const std::map<int64_t, std::string>& rows)
{
    try {
        datafiles::OutputFile out(path, true);
        out.Write(kCoincidenceHeader);
        for (const auto& [id, text] : rows)
            out.Write(text);
        out.Commit();
    } catch (const datafiles::OutputError& e) {
        return e.what();
    }
    return {};
}

} // namespace

CoincidenceKeeper::CoincidenceKeeper(std::string storeDir, int64_t windowNs, int64_t horizonNs)
    : dir_(std::move(storeDir)), path_(dir_ + "/coincidences.csv"), window_(windowNs), horizon_(horizonNs),
      finder_(windowNs)
{
}

int32_t CoincidenceKeeper::StationIndex(const std::string& id)
{
    auto [it, fresh] = stationIndex_.try_emplace(id, static_cast<int32_t>(stations_.size()));
    if (fresh)
        stations_.push_back(id);
    return it->second;
}

int32_t CoincidenceKeeper::FileIndex(const std::string& name)
{
    auto [it, fresh] = fileIndex_.try_emplace(name, static_cast<int32_t>(files_.size()));
    if (fresh)
        files_.push_back(name);
    return it->second;
}

KeptCoincidence CoincidenceKeeper::Kept(const coinc::Coincidence& c, int64_t id) const
{
    KeptCoincidence k{id, c.FirstNs(), c.Stations(), {}, {}};
    std::set<int32_t> named;
    for (const coinc::Member& m : c.members) {
        const std::string& station = stations_[static_cast<size_t>(m.station)];
        if (named.insert(m.station).second)
            k.Stations += (k.Stations.empty() ? "" : ";") + station;
        k.Members.push_back(KeptMember{station, files_[static_cast<size_t>(m.event.file)], m.event.record,
                                       m.event.ns - c.FirstNs()});
    }
    return k;
}

std::vector<KeptCoincidence> CoincidenceKeeper::Current() const
{
    std::vector<KeptCoincidence> out;
    for (const coinc::Coincidence& c : finder_.All())
        if (const auto it = idOf_.find(c.id); it != idOf_.end())
            out.push_back(Kept(c, it->second));
    return out;
}

std::vector<coinc::Merged> CoincidenceKeeper::ReadStoredEvents()
{
    std::vector<coinc::Merged> stream;
    std::vector<std::string> folders;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(dir_, ec))
        if (datafiles::ValidStationId(e.path().filename().string()) && fs::exists(e.path() / "events.csv", ec))
            folders.push_back(e.path().filename().string());
    std::sort(folders.begin(), folders.end());
    for (const std::string& id : folders) {
        const int32_t s = StationIndex(id);
        EachStoredEvent(dir_ + "/" + id + "/events.csv", [&](const std::string& file, int64_t record, int64_t ns) {
            stream.push_back(coinc::Merged{s, coinc::Event{ns, FileIndex(file), static_cast<int32_t>(record + 1)}});
        });
    }
    const auto order = [](const coinc::Merged& a, const coinc::Merged& b) {
        return std::tie(a.event.ns, a.station, a.event.file, a.event.record)
               < std::tie(b.event.ns, b.station, b.event.file, b.event.record);
    };
    std::sort(stream.begin(), stream.end(), order);
    stream.erase(std::unique(stream.begin(), stream.end(),
                             [&](const coinc::Merged& a, const coinc::Merged& b) { return !order(a, b) && !order(b, a); }),
                 stream.end());
    return stream;
}

std::string CoincidenceKeeper::Load()
{
    const std::vector<coinc::Merged> stream = ReadStoredEvents();
    // The file's ids stay with their coincidences: a coincidence takes the
    // id of the first of its members the file names.
    std::map<Key, int64_t> known;
    for (const KeptCoincidence& k : ReadCoincidences(path_)) {
        nextId_ = std::max(nextId_, k.Id + 1);
        for (const KeptMember& m : k.Members)
            known.emplace(m.Key(), k.Id);
    }
    const auto keyOf = [this](const coinc::Member& m) {
        return Key{stations_[static_cast<size_t>(m.station)], files_[static_cast<size_t>(m.event.file)], m.event.record};
    };
    std::map<int64_t, std::string> rows;
    std::map<Key, int64_t> idByFirst;
    for (const coinc::Coincidence& c : coinc::GroupStream(stream, window_)) {
        int64_t id = 0;
        for (const coinc::Member& m : c.members)
            if (const auto it = known.find(keyOf(m)); it != known.end() && !rows.contains(it->second)) {
                id = it->second;
                break;
            }
        if (id == 0)
            id = nextId_++;
        rows[id] = CoincidenceRows(Kept(c, id));
        idByFirst[keyOf(c.members.front())] = id;
    }

    // The search holds the events of the horizon, from a gap wider than the
    // window on, so that no chain of events is cut.
    if (!stream.empty()) {
        newestNs_ = stream.back().event.ns;
        forgotNs_ = newestNs_ - horizon_;
        size_t from = static_cast<size_t>(
            std::lower_bound(stream.begin(), stream.end(), forgotNs_,
                             [](const coinc::Merged& m, int64_t ns) { return m.event.ns < ns; })
            - stream.begin());
        while (from > 0 && from < stream.size() && stream[from].event.ns - stream[from - 1].event.ns <= window_)
            --from;
        std::vector<std::vector<coinc::Event>> byStation(stations_.size());
        for (size_t i = from; i < stream.size(); ++i)
            byStation[static_cast<size_t>(stream[i].station)].push_back(stream[i].event);
        for (size_t s = 0; s < byStation.size(); ++s)
            finder_.Add(static_cast<int32_t>(s), byStation[s]);
        for (const coinc::Coincidence& c : finder_.All())
            if (const auto it = idByFirst.find(keyOf(c.members.front())); it != idByFirst.end())
                idOf_[c.id] = it->second;
    }
    changed_ = true;
    if (rows == RowsOfFile(path_, [](int64_t) { return true; }))
        return {};
    const std::string why = WriteWhole(path_, rows);
    rewriteDue_ = !why.empty();
    return why;
}

std::string CoincidenceKeeper::Add(const std::string& station, const std::vector<StoredEvent>& events)
{
    const int32_t s = StationIndex(station);
    std::vector<coinc::Event> batch;
    batch.reserve(events.size());
    for (const StoredEvent& e : events) {
        batch.push_back(coinc::Event{e.TimeNs, FileIndex(e.File), static_cast<int32_t>(e.Record + 1)});
        newestNs_ = std::max(newestNs_, e.TimeNs);
    }
    std::string appended;
    for (const coinc::Change& change : finder_.Add(s, batch)) {
        changed_ = true;
        if (change.kind == coinc::Change::Found) {
            const int64_t id = nextId_++;
            idOf_[change.coincidence.id] = id;
            appended += CoincidenceRows(Kept(change.coincidence, id));
        } else if (change.kind == coinc::Change::Withdrawn) {
            if (const auto it = idOf_.find(change.coincidence.id); it != idOf_.end()) {
                dropped_.insert(it->second);
                idOf_.erase(it);
            }
            rewriteDue_ = true;
        } else {
            rewriteDue_ = true;
        }
    }
    std::string why;
    if (rewriteDue_)
        why = Rewrite();
    else if (!appended.empty() && !(why = AppendSynced(path_, kCoincidenceHeader, appended)).empty())
        rewriteDue_ = true;
    if (why.empty())
        ForgetOld();
    return why;
}

std::string CoincidenceKeeper::Rewrite()
{
    std::set<int64_t> held;
    for (const auto& [searchId, id] : idOf_)
        held.insert(id);
    std::map<int64_t, std::string> rows =
        RowsOfFile(path_, [&](int64_t id) { return !held.contains(id) && !dropped_.contains(id); });
    for (const KeptCoincidence& k : Current())
        rows[k.Id] = CoincidenceRows(k);
    const std::string why = WriteWhole(path_, rows);
    if (why.empty()) {
        rewriteDue_ = false;
        dropped_.clear();
    }
    return why;
}

void CoincidenceKeeper::ForgetOld()
{
    const int64_t cutoff = newestNs_ - horizon_;
    // At most once per 1/48 of the horizon (an hour of 48 h): forgetting walks every coincidence held.
    if (newestNs_ == INT64_MIN || (forgotNs_ != INT64_MIN && cutoff - forgotNs_ < horizon_ / 48))
        return;
    for (const coinc::Coincidence& c : finder_.All())
        if (c.FirstNs() < cutoff)
            idOf_.erase(c.id);
    finder_.Forget(cutoff);
    forgotNs_ = cutoff;
}

std::shared_ptr<const CoincidenceView> CoincidenceKeeper::View(int64_t nowNs, int64_t paceNs)
{
    // Made again at most every `paceNs`, and never more often than twenty
    // times its own cost, so the counts of a large array (the shifted
    // searches over the horizon) take at most a twentieth of the intake.
    if (view_ && (!changed_ || nowNs - viewNs_ < std::max(paceNs, 20 * viewCostNs_)))
        return view_;
    const auto start = std::chrono::steady_clock::now();
    std::vector<coinc::StationEvents> events = finder_.EventsByStation(stations_.size());
    for (size_t s = 0; s < events.size(); ++s)
        events[s].id = stations_[s];
    // Pairs named in the order of the stations' IDs, whatever order they came in.
    std::sort(events.begin(), events.end(),
              [](const coinc::StationEvents& a, const coinc::StationEvents& b) { return a.id < b.id; });
    view_ = std::make_shared<const CoincidenceView>(MakeCoincidenceView(events, Current(), window_, horizon_));
    viewNs_ = nowNs;
    viewCostNs_ = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
    changed_ = false;
    return view_;
}

} // namespace centre
