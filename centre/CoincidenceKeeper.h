#pragma once
// The centre's coincidences: every event the store commits is handed to an
// incremental search (coinc::IncrementalFinder), so coincidences are found
// as events arrive, and grown or withdrawn when a station's backlog comes
// late. They are kept in STORE/coincidences.csv (CoincidenceFile.h), each
// once with its final members: a new one is appended, and the file is
// rewritten whole (a temporary file renamed into place) only when one kept
// already changes. At start-up the search is rebuilt from every station's
// STORE/ID/events.csv and the file's ids are kept, so a restart neither
// loses a coincidence nor writes one twice.
//
// Memory is bounded: events older than the horizon (48 h before the newest
// event) are forgotten with the coincidences that begin before it; the file
// keeps them. An event later than that still is searched with what remains.
#include <cstdint>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "centre/CoincidenceFile.h"
#include "centre/CoincidenceView.h"
#include "centre/StoredEvent.h"
#include "coincidence/FindCoincidences.h"
#include "coincidence/IncrementalFinder.h"

namespace centre {

/// How far behind the newest event the search keeps events: 48 h.
inline constexpr int64_t kCoincidenceHorizonNs = int64_t{48} * 3600 * 1000000000;

class CoincidenceKeeper {
public:
    /// The coincidences of the store in `storeDir` with window `windowNs`.
    CoincidenceKeeper(std::string storeDir, int64_t windowNs, int64_t horizonNs = kCoincidenceHorizonNs);

    /// Rebuilds the search from the stations' events.csv and brings
    /// coincidences.csv in line with it. Empty, or why the file was not written.
    std::string Load();
    /// Searches the stored events of `station` and keeps what changed.
    /// Empty, or why the file was not written (it is written again at the
    /// next change).
    std::string Add(const std::string& station, const std::vector<StoredEvent>& events);

    /// The coincidences and accidentals as the pages show them; made again
    /// when something changed and `paceNs` (or twenty times what the last
    /// one took) has passed since it.
    std::shared_ptr<const CoincidenceView> View(int64_t nowNs, int64_t paceNs = 2'000'000'000);

    /// Something changed since the last View.
    bool ViewStale() const { return changed_; }
    int64_t WindowNs() const { return window_; }
    const std::string& Path() const { return path_; }

private:
    using Key = std::tuple<std::string, std::string, int64_t>; // station, file, record from 1
    int32_t StationIndex(const std::string& id);
    int32_t FileIndex(const std::string& name);
    /// Every event of the stations' events.csv, in time order, each once.
    std::vector<coinc::Merged> ReadStoredEvents();
    KeptCoincidence Kept(const coinc::Coincidence& c, int64_t id) const;
    /// The kept coincidences of the search now, in time order.
    std::vector<KeptCoincidence> Current() const;
    /// Rewrites the file: rows of coincidences the search no longer holds
    /// (older than the horizon) as they are, then those it holds.
    std::string Rewrite();
    void ForgetOld();

    std::string dir_, path_;
    int64_t window_, horizon_;
    coinc::IncrementalFinder finder_;
    std::vector<std::string> stations_, files_;
    std::map<std::string, int32_t> stationIndex_, fileIndex_;
    std::map<int64_t, int64_t> idOf_; ///< the search's id → the file's id
    std::set<int64_t> dropped_; ///< the file's ids withdrawn, until the file is rewritten
    int64_t nextId_ = 1;
    int64_t newestNs_ = INT64_MIN, forgotNs_ = INT64_MIN;
    bool rewriteDue_ = false;
    bool changed_ = true;
    int64_t viewNs_ = INT64_MIN;
    int64_t viewCostNs_ = 0; ///< what the last View took
    std::shared_ptr<const CoincidenceView> view_;
};

} // namespace centre
