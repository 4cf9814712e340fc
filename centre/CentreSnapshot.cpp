#include "centre/CentreSnapshot.h"

namespace centre {

std::shared_ptr<const CentreSnapshot> TakeSnapshot(const CentreStore& store, const std::string& storeDir,
                                                   const PageCounters& counters, int64_t nowNs,
                                                   std::shared_ptr<const CoincidenceView> coincidences)
{
    auto s = std::make_shared<CentreSnapshot>();
    s->TakenNs = nowNs;
    s->StoreDir = storeDir;
    const std::vector<const StationInfo*> stations = store.Stations();
    s->Stations.reserve(stations.size());
    for (const StationInfo* i : stations)
        s->Stations.push_back(*i);
    s->Counters = counters;
    s->Counters.ReceiptsSent = store.Counters().ReceiptsSent.load();
    s->Counters.StoreErrors = store.Counters().StoreErrors.load();
    s->Refused = store.Refused();
    s->RefusedByReason = store.RefusedByReason();
    s->Coincidences = std::move(coincidences);
    return s;
}

void SnapshotBox::Put(std::shared_ptr<const CentreSnapshot> s)
{
    std::lock_guard lock(mutex_);
    last_ = std::move(s);
}

std::shared_ptr<const CentreSnapshot> SnapshotBox::Get() const
{
    std::lock_guard lock(mutex_);
    return last_;
}

} // namespace centre
