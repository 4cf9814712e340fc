#pragma once
// What the pages and /metrics read: a copy of the store's stations and the
// centre's counters, made on the intake's thread and handed to the page's
// thread whole. The page never touches the store, so a burst of messages
// never waits for a page and a page never waits for the burst.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "centre/CentreStore.h"
#include "centre/CoincidenceView.h"

namespace centre {

/// The centre's counts as the pages show them: those of the intake and a
/// copy of the store's own (CentreCounters). A count left empty is not
/// shown as zero.
struct PageCounters {
    int64_t Taken = 0;                   ///< messages handed to the store
    std::optional<int64_t> ReceiptsSent; ///< receipts sent to stations
    std::optional<int64_t> StoreErrors;  ///< writes to the store that failed
};

/// The store as it was at `TakenNs`.
struct CentreSnapshot {
    int64_t TakenNs = 0; ///< the centre's clock
    std::string StoreDir;
    std::vector<StationInfo> Stations; ///< by ID
    PageCounters Counters;
    int64_t Refused = 0;
    std::map<std::string, int64_t> RefusedByReason;
    std::shared_ptr<const CoincidenceView> Coincidences; ///< null when none are searched
};

/// A copy of `store` and `counters` at `nowNs`.
std::shared_ptr<const CentreSnapshot> TakeSnapshot(const CentreStore& store, const std::string& storeDir,
                                                   const PageCounters& counters, int64_t nowNs,
                                                   std::shared_ptr<const CoincidenceView> coincidences = nullptr);

/// The last snapshot, handed from the intake's thread to the page's.
class SnapshotBox {
public:
    void Put(std::shared_ptr<const CentreSnapshot> s);
    /// Never null: an empty snapshot before the first.
    std::shared_ptr<const CentreSnapshot> Get() const;

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const CentreSnapshot> last_ = std::make_shared<CentreSnapshot>();
};

/// Paces the snapshots: the intake calls Changed() after each message and
/// Due() tells whether a new snapshot is wanted: after changes, at most one
/// per `periodNs` while messages keep coming, and one as soon as the intake
/// has nothing queued (`idle`).
class SnapshotPacer {
public:
    explicit SnapshotPacer(int64_t periodNs) : period_(periodNs) {}
    void Changed() { dirty_ = true; }
    /// True (and counts as taken) when a snapshot is due at `nowNs`.
    bool Due(int64_t nowNs, bool idle = false)
    {
        if (!dirty_ || (!idle && nowNs - last_ < period_))
            return false;
        dirty_ = false;
        last_ = nowNs;
        return true;
    }

private:
    int64_t period_;
    int64_t last_ = INT64_MIN / 2;
    bool dirty_ = true;
};

} // namespace centre
